#pragma once

// The host double: the map-editing application as the component sees it
// through the host's object model, over data held here. One world per
// process; its objects are served on the thread of the apartment that
// registered the class objects.

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "double/HostObject.h"
#include "runtime/Variant.h"

namespace corvale::windouble {

/// Field type codes of the host's object model.
namespace fieldtype {
inline constexpr LONG kInteger = 1;
inline constexpr LONG kDouble = 3;
inline constexpr LONG kText = 4;
inline constexpr LONG kDate = 5;
inline constexpr LONG kObjectId = 6;
inline constexpr LONG kGeometry = 7;
}  // namespace fieldtype

struct Vertex {
  double x = 0, y = 0;
};

/// The rows of one table; the object-id field's value is the row's id, the geometry field's its shape.
struct TableData {
  struct Row {
    LONG objectId = 0;
    std::vector<Variant> values;
    std::vector<Vertex> shape;
  };
  std::vector<std::pair<std::string, LONG>> fields;
  std::vector<Row> rows;

  TableData& field(std::string name, LONG type);
  /// A row with the next object id; fields not named are null.
  TableData& row(const std::vector<std::pair<std::string, Variant>>& values, std::vector<Vertex> shape);
  /// The field's index, any letter case; -1 when absent.
  LONG index(const std::string& name) const;
};

/// A layer of the map: a feature layer over a table, a group of layers, or another kind.
struct LayerData {
  enum class Kind { Feature, Group, Other } kind = Kind::Other;
  std::string name;
  size_t table = 0;
  std::vector<LayerData> members;
};

struct Extent {
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

/// What the host's status-bar progress indicator was told, from one Show to its Hide.
struct ProgressRun {
  std::string message;
  LONG maximum = 0, stepValue = 1, position = 0;
  int steps = 0;
  bool shown = false, hidden = false;
};

/// One of the host's frame windows, as the double saw it.
struct FrameRecord {
  /// Unique in the process.
  int id = 0;
  /// The frame's number among those created since the host started, from 1.
  int number = 0;
  HWND frame = nullptr;
  HWND attached = nullptr;
  std::string caption;
  bool visible = false;
  bool released = false;
  int moves = 0;
  LONG left = 0, top = 0;
};

class World {
 public:
  static World& get();

  /// The sample city: "Streets" (names with case twins, a street of two features, an
  /// apostrophe, a leading blank, a null and an empty name, a point), a group "Utilities"
  /// of "Hydrants" and "Mains", and a layer of another kind.
  void buildSampleCity();
  /// One feature layer "Streets" whose FULLNAME field holds n distinct names, in no order.
  void buildManyNames(int n);

  std::vector<TableData> tables;
  std::vector<LayerData> layers;

  /// Creates the host's objects over the data and registers the three class objects in
  /// this thread's apartment (which must be initialised).
  void start();
  /// Revokes the class objects and releases the host's own references.
  void stop();
  /// The application object, as the host hands it to OnCreate (no reference added).
  void* application();

  // What the component did to the host, in order.
  std::vector<Extent> extents() const;
  int refreshes() const;
  std::vector<ProgressRun> progress() const;
  std::vector<FrameRecord> frames() const;
  /// Forgets extents, refreshes, progress and frames (not the frames' windows).
  void clearRecords();
  /// Seconds spent inside the table, cursor and row operations that read rows.
  double readingSeconds() const;
  void resetReadingTime();
  /// The performance counter when the last row-reading operation returned.
  LONGLONG lastReadingEnd() const;

  // Used by the objects of the double.
  struct Records;
  Records& records();

 private:
  World();
  struct State;
  State* state_;
};

/// The host's own pump: dispatches the messages of the calling thread until done() is true.
template <class F>
void pumpUntil(F&& done) {
  MSG msg;
  while (!done()) {
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }
}

}  // namespace corvale::windouble
