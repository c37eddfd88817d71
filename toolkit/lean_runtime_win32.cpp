// Linked only into the shipped programs, which carry the C++ runtime
// statically. The runtime's stock handlers for failures that end the program
// anyway (memory exhausted, a length or range error inside a standard
// container, an exception nobody catches) bring in the exception classes, a
// second string implementation and a symbol demangler: about a third of each
// program file. The program catches no exception, so ending the process at
// once is what happened before, less the note on standard error.
#include <bits/functexcept.h>

#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
}  // namespace std
