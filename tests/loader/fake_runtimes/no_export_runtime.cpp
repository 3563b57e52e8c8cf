// A client library without the environment export.
#include "fake_runtime_control.h"

FAKE_RUNTIME_EXPORT int FakeRuntimeSomethingElse() {
    return 1;
}
