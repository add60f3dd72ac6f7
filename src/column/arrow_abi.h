// The Arrow C data and C stream interfaces: a plain C ABI that every Arrow
// implementation (pyarrow, Polars, DuckDB, ...) shares, so columns cross
// between them and this module without a build or run dependency on any of
// them. The declarations are the ABI's own, guarded by its macros so that a
// translation unit that also sees another copy keeps one. (Private)
#pragma once

#include <cstdint>  // int64_t

extern "C" {

#ifndef ARROW_C_DATA_INTERFACE
#define ARROW_C_DATA_INTERFACE

#define ARROW_FLAG_DICTIONARY_ORDERED 1
#define ARROW_FLAG_NULLABLE 2
#define ARROW_FLAG_MAP_KEYS_SORTED 4

struct ArrowSchema {
  // Array type description
  const char* format;
  const char* name;
  const char* metadata;
  int64_t flags;
  int64_t n_children;
  struct ArrowSchema** children;
  struct ArrowSchema* dictionary;

  // Release callback
  void (*release)(struct ArrowSchema*);
  // Opaque producer-specific data
  void* private_data;
};

struct ArrowArray {
  // Array data description
  int64_t length;
  int64_t null_count;
  int64_t offset;
  int64_t n_buffers;
  int64_t n_children;
  const void** buffers;
  struct ArrowArray** children;
  struct ArrowArray* dictionary;

  // Release callback
  void (*release)(struct ArrowArray*);
  // Opaque producer-specific data
  void* private_data;
};

#endif  // ARROW_C_DATA_INTERFACE

#ifndef ARROW_C_STREAM_INTERFACE
#define ARROW_C_STREAM_INTERFACE

struct ArrowArrayStream {
  // Callbacks return 0 or an errno-compatible error code.
  int (*get_schema)(struct ArrowArrayStream*, struct ArrowSchema* out);
  // `out->release` null: the end of the stream.
  int (*get_next)(struct ArrowArrayStream*, struct ArrowArray* out);
  // The message of the last error, valid until the next call; may be null.
  const char* (*get_last_error)(struct ArrowArrayStream*);

  // Release callback
  void (*release)(struct ArrowArrayStream*);
  // Opaque producer-specific data
  void* private_data;
};

#endif  // ARROW_C_STREAM_INTERFACE

}  // extern "C"
