// The TOML library compiled into the show file harness from the same Debian
// headers, so that libFuzzer sees the parser's branches and can learn the
// syntax (the shared library zolt-show links carries no coverage).
#define TOML_IMPLEMENTATION
#include <toml++/toml.h>
