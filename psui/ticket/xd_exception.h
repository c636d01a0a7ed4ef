// The exception of the ticket component: one HRESULT. It never leaves a COM
// method or a converter operation; each of them catches it and returns the code.
#pragma once

#include <windows.h>

#include <exception>
#include <new>

namespace qvx::ticket {

class CXDException : public std::exception {
 public:
  explicit CXDException(HRESULT hr) : hr_(hr) {}
  HRESULT Result() const { return hr_; }
  const char* what() const noexcept override { return "ticket component error"; }

 private:
  HRESULT hr_;
};

// Throws when hr is a failure code; passes success codes through.
inline HRESULT ThrowIfFailed(HRESULT hr) {
  if (FAILED(hr)) throw CXDException(hr);
  return hr;
}

// The one catch of a converter operation: CXDException becomes its HRESULT,
// an allocation failure E_OUTOFMEMORY, anything else E_FAIL.
template <class F>
HRESULT Guard(F&& body) noexcept {
  try {
    return body();
  } catch (const CXDException& e) {
    return e.Result();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// The catch of the provider's conversion methods: every exception is E_FAIL.
template <class F>
HRESULT GuardAll(F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace qvx::ticket
