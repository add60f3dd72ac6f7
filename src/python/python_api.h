// The one way the binding includes the interpreter's headers: always the
// limited API, so that a single abi3 build serves 3.8 and every later version.
#pragma once

#ifndef Py_LIMITED_API
#error "the binding is built against the limited API only (Py_LIMITED_API)"
#endif

#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <structmember.h>  // PyMemberDef, T_OBJECT_EX, READONLY
