// A column of results handed out through the Arrow C data and stream
// interfaces: a struct array of the columns json, strategy, ok, changed (and
// fixes), or a stream of record batches of them. The texts are lent, not
// copied: every exported array keeps the shared results alive until the
// consumer releases it, from any thread. (Private)
#pragma once

#include <cstdint>  // int64_t

#include "column/arrow_abi.h"
#include "column/column_work.h"

namespace tarnwick::detail {

// Fills `schema` and `array` with the whole column as one struct array: a
// null row is null in the struct and in every child.
void export_struct_array(const ColumnRef& data, ArrowSchema* schema,
                         ArrowArray* array);

// Fills `stream` with the column as record batches, one per input chunk,
// split further where a batch would pass the 32-bit offsets of Arrow's
// string type. A record batch has no null rows: there a null row is null in
// every column.
void export_stream(const ColumnRef& data, ArrowArrayStream* stream);

}  // namespace tarnwick::detail
