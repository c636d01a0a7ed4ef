// Keeps the first failure of a sequence of steps that must all run.
#pragma once

#include <cstdint>

namespace qvx::enc {

struct FirstError {
  int32_t status = 0;
  int32_t operator()(int32_t s) {
    if (s < 0 && status >= 0) status = s;
    return s;
  }
};

}  // namespace qvx::enc
