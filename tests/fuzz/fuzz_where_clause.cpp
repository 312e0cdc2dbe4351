// Parses arbitrary text as a where clause of the in-memory host: it is either
// refused with the host's failure or understood, and an understood text clause
// matches exactly the value it names.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "hosts/memory/WhereClause.h"

using namespace corvale;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  memory::WhereClause where;
  try {
    where = memory::WhereClause::parse(text);
  } catch (const Failure& failure) {
    if (failure.number != err::kHostInvalidSql) std::abort();
    return 0;
  }
  if (where.field.empty()) std::abort();
  if (where.kind == memory::WhereClause::LiteralKind::Text) {
    if (!where.matches(Variant(where.literal))) std::abort();
    if (where.matches(Variant::null())) std::abort();
    if (where.matches(Variant(where.literal + "x"))) std::abort();
  }
  return 0;
}
