// A library that the dependent client library imports from but that is never shipped beside it.
#include "fake_runtime_control.h"

FAKE_RUNTIME_EXPORT int TallowmereMissingPieceValue() {
    return 7;
}
