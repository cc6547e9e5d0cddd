// The C++ runtime's default terminate handler prints the uncaught exception's demangled type to
// stderr before it aborts. A windowed program has no stderr to read, and that handler alone
// links the demangler and the printf family into the program (about 70 KB). Defining it here
// keeps the runtime's copy out of the link; ending the program is all that is left of it.

#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  std::abort();
}

}  // namespace __gnu_cxx
