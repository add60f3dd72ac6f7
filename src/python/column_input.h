// Where repair_column's texts come from: an Arrow column of strings or
// binary data handed over through the Arrow PyCapsule interface (an array,
// or a stream of chunks), read in place; or any iterable of str and None,
// encoded a piece at a time. Each chunk is repaired on worker threads
// while the calling thread, holding the interpreter lock, reads the next.
#pragma once

#include "column/column_work.h"
#include "python_api.h"

namespace tarnwick::python {

using tarnwick::detail::ColumnData;
using tarnwick::detail::RowOptions;

// Repairs every row of `texts` on up to `threads` threads and appends the
// rows to `out`. False with an exception set: TypeError for an input that
// is no column of texts or a row that is neither str nor None, ValueError
// (UnicodeEncodeError for lone surrogates, as repair() raises) for a row
// that is not UTF-8, each naming the row as `texts[i]`; or the exception of
// an interrupt (KeyboardInterrupt) or of the producer.
bool repair_texts(PyObject* texts, const RowOptions& options, unsigned threads,
                  ColumnData& out);

}  // namespace tarnwick::python
