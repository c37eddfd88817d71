// Linked only into the shipped programs, which carry the C++ runtime
// statically. The runtime's stock handlers for failures inside a standard
// container, and for an exception nobody catches, bring in the exception
// classes, a second string implementation and a symbol demangler: about a
// third of each program file.
//
// A run that runs out of memory ends with "Not enough memory" rather than
// an abort, so memory failures still throw: std::bad_alloc, whose class the
// runtime's operator new brings in anyway. A container asked to grow past
// the largest size it can have is out of memory as far as a run is
// concerned, and throws the same. Every other failure is a fault of the
// program that nothing catches; ending the process at once is what
// happened before, less the note on standard error.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_alloc(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_length_error(const char*) { throw std::bad_alloc(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
}  // namespace std
