#include "module1.h"

#include <cstdlib>

void Module1::defaultExit(int code) { std::_Exit(code); }

Module1& Module1::entries() {
    static Module1 calls;
    return calls;
}
