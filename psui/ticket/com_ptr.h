// Owning wrappers for COM references, BSTRs and VARIANTs.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

#include "xd_exception.h"

namespace qvx::ticket {

// One counted reference to a COM interface.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a reference the caller already owns.
  static ComPtr Attach(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  // Adds a reference of its own.
  static ComPtr Share(T* p) {
    if (p) p->AddRef();
    return Attach(p);
  }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: drops what is held first.
  T** Put() {
    Reset();
    return &p_;
  }
  T* Detach() { return std::exchange(p_, nullptr); }

  template <class U>
  HRESULT As(const IID& iid, ComPtr<U>& out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, reinterpret_cast<void**>(out.Put()));
  }

 private:
  T* p_ = nullptr;
};

// An owned BSTR. Allocation failures throw CXDException(E_OUTOFMEMORY).
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::wstring_view s) : b_(Alloc(s)) {}
  Bstr(const Bstr& o) : b_(o.b_ ? Alloc({o.b_, SysStringLen(o.b_)}) : nullptr) {}
  Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
  Bstr& operator=(Bstr o) noexcept {
    std::swap(b_, o.b_);
    return *this;
  }
  ~Bstr() { SysFreeString(b_); }

  static Bstr Attach(BSTR b) {
    Bstr r;
    r.b_ = b;
    return r;
  }
  BSTR Get() const { return b_; }
  BSTR* Put() {
    SysFreeString(std::exchange(b_, nullptr));
    return &b_;
  }
  BSTR Detach() { return std::exchange(b_, nullptr); }
  std::wstring_view View() const {
    return b_ ? std::wstring_view(b_, SysStringLen(b_)) : std::wstring_view();
  }
  std::wstring Str() const { return std::wstring(View()); }
  bool Empty() const { return View().empty(); }

 private:
  static BSTR Alloc(std::wstring_view s) {
    BSTR b = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    if (!b) throw CXDException(E_OUTOFMEMORY);
    return b;
  }
  BSTR b_ = nullptr;
};

// An owned VARIANT, cleared on destruction.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  explicit Variant(std::wstring_view s) : Variant() {
    Bstr b(s);
    v_.vt = VT_BSTR;
    v_.bstrVal = b.Detach();
  }
  explicit Variant(IUnknown* unk) : Variant() {
    v_.vt = VT_UNKNOWN;
    v_.punkVal = unk;
    if (unk) unk->AddRef();
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }

  VARIANT* Put() {
    VariantClear(&v_);
    return &v_;
  }
  const VARIANT& Get() const { return v_; }
  VARIANT& Ref() { return v_; }

  // The value as text; S_FALSE-free: E_FAIL when it has no text form.
  HRESULT ToText(std::wstring& out) const {
    if (v_.vt == VT_BSTR) {
      out.assign(v_.bstrVal ? v_.bstrVal : L"", v_.bstrVal ? SysStringLen(v_.bstrVal) : 0);
      return S_OK;
    }
    VARIANT t;
    VariantInit(&t);
    HRESULT hr = VariantChangeType(&t, const_cast<VARIANT*>(&v_), 0, VT_BSTR);
    if (SUCCEEDED(hr)) out.assign(t.bstrVal ? t.bstrVal : L"", t.bstrVal ? SysStringLen(t.bstrVal) : 0);
    VariantClear(&t);
    return hr;
  }

 private:
  VARIANT v_;
};

}  // namespace qvx::ticket
