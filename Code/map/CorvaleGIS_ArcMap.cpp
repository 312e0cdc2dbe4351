#include "map/CorvaleGIS_ArcMap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "errors/ErrorHandling.h"
#include "host/Services.h"
#include "runtime/Prefetch.h"
#include "runtime/Text.h"
#include "runtime/TextSet.h"
#include "state/ProductState.h"

namespace corvale {

using namespace host;

namespace {

constexpr int32_t kGroupMemberCounterLimit = 32767;
/// Texts a seen-set has room for from the start, at most.
constexpr int32_t kSeenSetRoom = 1 << 17;

std::shared_ptr<IMap> focusMap() { return need(state().HostDocument).focusMap(); }

/**
 * Visits the feature layers of the focus map: top-level ones, and those
 * directly inside top-level groups. The focus map is asked for anew at each
 * top-level layer. The member counter is 16 bits wide, as it always was: a
 * group with more than 32767 members overflows it (failure 6).
 */
void walkFeatureLayers(const std::function<void(const std::shared_ptr<ILayer>&)>& visit) {
  const int32_t count = need(focusMap()).layerCount();
  for (int32_t i = 0; i < count; ++i) {
    std::shared_ptr<ILayer> layer = need(focusMap()).layer(i);
    if (isA<IGroupLayer>(layer)) {
      auto group = query<ICompositeLayer>(layer);
      const int32_t members = group->memberCount();
      for (int32_t j = 0; j < members; ++j) {
        std::shared_ptr<ILayer> member = group->member(j);
        if (isA<IFeatureLayer>(member)) visit(member);
        if (j == kGroupMemberCounterLimit) raise(err::kOverflow);
      }
    } else if (isA<IFeatureLayer>(layer)) {
      visit(layer);
    }
  }
}

/**
 * The distinct values of a read, in the order of the rows: each row's text is
 * looked up in the seen-set and a new non-empty one is appended to the list.
 * A look-up waits for memory twice (the set's slot, then the text it keeps),
 * so the texts are looked up a few rows after they are read: a row's text is
 * copied and hashed as it is read, its slot fetched into the cache then, its
 * kept text kTextLag rows later (reading the slot before it has arrived
 * would wait for it), and the look-up made kDepth rows later. finish()
 * looks up the rows still waiting; the list thus gets exactly what a look-up
 * at each row would give, in the same order.
 */
class DistinctTexts {
 public:
  DistinctTexts(TextSet& seen, IListBox& list) : seen_(seen), list_(list) {}

  /// A row's text, or nothing for a null value.
  void add(std::optional<std::string_view> text) {
    if (waiting_ == kDepth) lookUpOldest();
    Pending& row = pending_[(oldest_ + waiting_) % kDepth];
    row.null = !text;
    if (text) {
      row.text.assign(text->data(), text->size());
      row.hash = TextSet::hashOf(row.text);
      seen_.prefetchSlot(row.hash);
    }
    if (waiting_ >= kTextLag) {
      const Pending& earlier = pending_[(oldest_ + waiting_ - kTextLag) % kDepth];
      if (!earlier.null) seen_.prefetchText(earlier.hash);
    }
    ++waiting_;
  }

  /// Looks up every row still waiting, unless a look-up itself failed: then
  /// the rows after it stay out of the list, as they would have without the wait.
  void finish() {
    while (waiting_ > 0 && !failed_)
      lookUpOldest();
  }

  /// Rows between a text's read and its look-up, and between its slot's and its text's fetch.
  static constexpr size_t kDepth = 8;
  static constexpr size_t kTextLag = 3;

 private:
  struct Pending {
    std::string text;
    uint64_t hash = 0;
    bool null = true;
  };

  void lookUpOldest() {
    Pending& row = pending_[oldest_];
    oldest_ = (oldest_ + 1) % kDepth;
    --waiting_;
    failed_ = true;
    if (!row.null && seen_.insert(row.text, row.hash) && !row.text.empty()) list_.append(row.text);
    failed_ = false;
  }

  TextSet& seen_;
  IListBox& list_;
  std::array<Pending, kDepth> pending_;
  size_t oldest_ = 0;
  size_t waiting_ = 0;
  bool failed_ = false;
};

/**
 * Looks up a block of rows' texts, whose views stay valid for the whole
 * block: the slots of the texts kDepth rows ahead are fetched into the cache,
 * their kept texts kTextLag rows later, as DistinctTexts does without copies.
 * The indicator steps once per row. A failure stops the block at that row.
 */
void lookUpBlock(const FieldTexts& block, TextSet& seen, IListBox& list,
                 IProgressIndicator* progress, std::vector<uint64_t>& hashes) {
  constexpr size_t kDepth = DistinctTexts::kDepth;
  constexpr size_t kTextLag = DistinctTexts::kTextLag;
  const size_t rows = block.texts.size();
  const uint64_t* hash = block.hashes.data();
  if (block.hashes.size() != rows) {
    hashes.resize(rows);
    for (size_t i = 0; i < rows; ++i)
      hashes[i] = block.texts[i] ? TextSet::hashOf(*block.texts[i]) : 0;
    hash = hashes.data();
  }
  for (size_t i = 0; i < rows && i < kDepth; ++i)
    if (block.texts[i]) seen.prefetchSlot(hash[i]);
  for (size_t i = 0; i < rows; ++i) {
    if (i + kDepth < rows && block.texts[i + kDepth]) {
      seen.prefetchSlot(hash[i + kDepth]);
      // The text itself was written on another thread, most likely on the other core.
      prefetch(block.texts[i + kDepth]->data());
    }
    if (i + kDepth - kTextLag < rows && block.texts[i + kDepth - kTextLag]) {
      seen.prefetchText(hash[i + kDepth - kTextLag]);
    }
    const std::optional<std::string_view>& text = block.texts[i];
    if (text && seen.insert(*text, hash[i]) && !text->empty()) list.append(std::string(*text));
    if (progress) progress->step();
  }
}

/**
 * The values interface of a row. A cursor hands out the same few row objects
 * again and again (a plain loop alternates two), so the interface is asked for
 * once per object, not once per row. Rows are remembered without a reference
 * of their own: a cursor may reuse a row object only when nobody else holds it.
 */
class RowValuesOf {
 public:
  IRowValues& operator()(const std::shared_ptr<IRow>& row) {
    for (const Known& known : known_) {
      // The same control block is the same object: a remembered one cannot
      // be freed and given to another object while it is remembered.
      if (!known.row.owner_before(row) && !row.owner_before(known.row) && known.values) {
        return *known.values;
      }
    }
    Known& known = known_[next_];
    next_ = (next_ + 1) % known_.size();
    auto values = query<IRowValues>(row);
    known.row = row;
    known.values = values.get();
    return *values;
  }

 private:
  struct Known {
    std::weak_ptr<IRow> row;
    IRowValues* values = nullptr;
  };
  std::array<Known, 2> known_;
  size_t next_ = 0;
};

}  // namespace

std::shared_ptr<IFeatureLayer> GetLayerByName(const std::string& name) {
  std::shared_ptr<IFeatureLayer> result;
  auto failure = Trap::run([&] {
    walkFeatureLayers([&](const std::shared_ptr<ILayer>& layer) {
      if (equalsNoCase(layer->name(), name)) result = query<IFeatureLayer>(layer);
    });
  });
  if (failure) {
    result.reset();
    (void)Trap::run([&] { forms().messageBox("Error: Could not find layer " + name); });
  }
  return result;
}

void LoadListWithLayers(IListBox& list) {
  auto failure = Trap::run([&] {
    list.clear();
    walkFeatureLayers([&](const std::shared_ptr<ILayer>& layer) { list.append(layer->name()); });
  });
  if (failure) (void)Trap::run([&] { forms().messageBox("Error loading map layers"); });
}

void LoadListWithFields(IListBox& list, const std::shared_ptr<IFeatureLayer>& layer) {
  auto failure = Trap::run([&] {
    list.clear();
    auto table = query<IDisplayTable>(layer)->displayTable();
    auto fields = query<IClass>(table)->fields();
    const int32_t count = need(fields).fieldCount();
    for (int32_t i = 0; i < count; ++i) list.append(need(fields->field(i)).name());
  });
  if (failure) (void)Trap::run([&] { forms().messageBox("Error loading layer fields"); });
}

void LoadListWithUniqueFieldValues(const std::string& layerName, const std::string& fieldName,
                                   IListBox& list, bool showProgress,
                                   const std::shared_ptr<IQueryFilter>& filter) {
  Trap trap("LoadListWithUniqueFieldValues", kArcMapModule);
  std::shared_ptr<IProgressIndicator> progress;
  auto failure = trap.run([&] {
    trap.line(1);
    list.clear();
    trap.line(2);
    if (isBlank(layerName) || isBlank(fieldName)) return;
    trap.line(3);
    if (equalsNoCase(fieldName, "Shape")) {
      forms().messageBox("Shape field is not accessible");
      return;
    }
    trap.line(4);
    progress = need(need(state().HostApplication).statusBar()).progressIndicator();
    need(progress).setMessage("Loading List: " + fieldName + "...");
    progress->setStepSize(1);
    progress->setPosition(0);
    trap.line(5);
    auto layer = GetLayerByName(layerName);
    if (!layer) return;
    trap.line(6);
    auto featureClass = layer->featureClass();
    // A feature class that is its layer's display table and lists a field's
    // distinct texts itself is asked for them first, so that the listing gets
    // under way at once. Where the listing knows how many features it
    // listed, that is the feature count of the indicator's maximum, and the
    // features are not counted a second time.
    std::shared_ptr<ITextCursor> texts;
    bool asked = false;
    if (!filter && isA<IDistinctTexts>(featureClass) &&
        dynamic_cast<const void*>(query<IDisplayTable>(layer)->displayTable().get()) ==
            dynamic_cast<const void*>(featureClass.get())) {
      texts = query<IDistinctTexts>(featureClass)->distinctTexts(fieldName);
      asked = true;
    }
    const int32_t counted = texts ? texts->listedFeatureCount() : -1;
    const int32_t features = counted >= 0 ? counted : need(featureClass).featureCount(nullptr);
    progress->setMaximum(features);
    progress->setPosition(0);
    trap.line(7);
    if (showProgress) progress->show();
    trap.line(8);
    TextSet seen;
    auto table = query<IDisplayTable>(layer)->displayTable();
    if (showProgress) progress->step();
    trap.line(9);
    // Over all rows, a table that lists a field's distinct texts itself saves
    // reading every row; the seen-set still decides what the list receives,
    // and the indicator steps once per text received.
    if (!filter && !asked && isA<IDistinctTexts>(table)) {
      texts = query<IDistinctTexts>(table)->distinctTexts(fieldName);
    }
    if (texts) {
      trap.line(11);
      for (auto text = texts->nextText(); text; text = texts->nextText()) {
        if (seen.insert(*text) && !text->empty()) list.append(std::string(*text));
        if (showProgress) progress->step();
      }
      trap.line(12);
      progress->hide();
      return;
    }
    auto cursor = query<ITable>(table)->search(filter, false);
    trap.line(10);
    const int32_t index = query<IClass>(table)->findField(fieldName);
    if (index < 0) {
      progress->hide();
      return;
    }
    trap.line(11);
    // A layer has no more distinct texts than features: the seen-set is made
    // that large at once, up to kSeenSetRoom texts (4 MiB of slots), so that
    // it seldom grows while the rows are read. It is made once the cursor
    // has started, while the host's first rows are on their way.
    const auto room = static_cast<size_t>(std::clamp<int32_t>(features, 0, kSeenSetRoom));
    // A cursor that hands out the field's texts a block of rows at a time
    // gives the same rows in the same order without a row object per row.
    const bool inBlocks = isA<IFieldTexts>(cursor) && query<IFieldTexts>(cursor)->readTexts(index);
    seen.reserve(room);
    if (inBlocks) {
      auto blocks = query<IFieldTexts>(cursor);
      FieldTexts block;
      std::vector<uint64_t> hashes;
      IProgressIndicator* stepped = showProgress ? progress.get() : nullptr;
      while (blocks->nextTexts(block))
        lookUpBlock(block, seen, list, stepped, hashes);
      trap.line(12);
      progress->hide();
      return;
    }
    std::string scratch;
    DistinctTexts distinct(seen, list);
    // The rows read before a failure are all looked up before it is reported:
    // the list keeps every name that a look-up at each row would have added.
    const std::optional<Failure> rowFailure = Trap::run([&] {
      RowValuesOf valuesOf;
      for (auto row = need(cursor).nextRow(); row; row = cursor->nextRow()) {
        distinct.add(valuesOf(row).valueText(index, scratch));
        if (showProgress) progress->step();
      }
    });
    distinct.finish();
    if (rowFailure) throw *rowFailure;
    trap.line(12);
    progress->hide();
  });
  if (failure) {
    if (progress) (void)Trap::run([&] { progress->hide(); });
    trap.report(*failure);
  }
}

std::string whereClauseFor(const std::string& fieldName, int32_t fieldType,
                           const std::string& value) {
  std::string wrapped;
  switch (fieldType) {
    case fieldtype::kText:
      // An apostrophe inside the value is doubled, so that O'Brien is found and
      // a crafted name cannot change the query.
      wrapped.reserve(value.size() + 2);
      wrapped += '\'';
      for (char c : value) {
        wrapped += c;
        if (c == '\'') wrapped += '\'';
      }
      wrapped += '\'';
      break;
    case fieldtype::kDate: wrapped = "#" + value + "#"; break;
    default: wrapped = value; break;
  }
  return fieldName + " = " + wrapped;
}

std::shared_ptr<IFeature> GetFeatureByValue(const std::shared_ptr<IFeatureLayer>& layer,
                                            const std::string& fieldName,
                                            const std::string& value) {
  Trap trap("GetFeatureByValue", kArcMapModule);
  std::shared_ptr<IFeature> result;
  auto failure = trap.run([&] {
    trap.line(1);
    if (!layer || isBlank(fieldName) || isBlank(value)) return;
    trap.line(2);
    auto table = query<IDisplayTable>(layer)->displayTable();
    if (!table) return;
    trap.line(3);
    auto tableClass = query<IClass>(table);
    auto fields = tableClass->fields();
    const int32_t count = need(fields).fieldCount();
    int32_t found = -1;
    for (int32_t i = 0; i < count; ++i) {
      if (equalsNoCase(need(fields->field(i)).name(), fieldName)) found = i;
    }
    if (found < 0) return;
    trap.line(4);
    const int32_t type = need(fields->field(found)).type();
    trap.line(5);
    const std::string clause = whereClauseFor(fieldName, type, value);
    trap.line(6);
    auto filter = hostClasses().createQueryFilter();
    need(filter).setWhereClause(clause);
    auto rows = query<ITable>(table)->search(filter, true);
    auto row = need(rows).nextRow();
    if (!row) return;
    trap.line(7);
    if (!tableClass->hasObjectId()) {
      forms().messageBox("Table must have OID field.");
      return;
    }
    trap.line(8);
    auto featureClass = query<IClass>(layer->featureClass());
    if (!featureClass->hasObjectId()) {
      forms().messageBox("FeatureClass must have OID field.");
      return;
    }
    trap.line(9);
    const std::string idClause =
        featureClass->objectIdFieldName() + " = " + std::to_string(row->objectId());
    trap.line(10);
    auto idFilter = hostClasses().createQueryFilter();
    need(idFilter).setWhereClause(idClause);
    auto features = layer->search(idFilter, true);
    result = need(features).nextFeature();
  });
  if (failure) {
    result.reset();
    trap.report(*failure);
  }
  return result;
}

void ZoomToFeaturePlus(const std::shared_ptr<IFeature>& feature, double margin) {
  Trap trap("ZoomToFeaturePlus", kArcMapModule);
  auto failure = trap.run([&] {
    trap.line(1);
    if (!feature) return;
    trap.line(2);
    const double factor = margin + 1.0;
    if (!std::isfinite(factor)) raise(err::kOverflow);
    trap.line(3);
    std::shared_ptr<IActiveView> view = need(state().HostDocument).activeView();
    if (isA<IPageLayout>(view)) view = need(view).focusMap();
    trap.line(4);
    auto envelope = need(feature->shape()).envelope();
    trap.line(5);
    need(envelope).expand(factor, factor, true);
    trap.line(6);
    need(view).setExtent(envelope);
    trap.line(7);
    view->refresh();
  });
  if (failure) trap.report(*failure);
}

}  // namespace corvale
