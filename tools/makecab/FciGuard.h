#pragma once
// cabinet.dll calls back into this program and knows nothing of C++
// exceptions: a callback body that can throw (it builds strings, grows
// containers) runs through FciGuard, so that an exception becomes the
// callback's failure result with ENOMEM instead of unwinding through the DLL.
#include <cerrno>

template <class Result, class Body>
Result FciGuard(Result failure, int* err, Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        if (err)
            *err = ENOMEM;
        return failure;
    }
}
