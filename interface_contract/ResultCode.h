#pragma once
#include <cstdint>

namespace Kestrel::InterfaceContract {

// Result of every interface method; 0 is success.
using ResultCode = uint32_t;

constexpr ResultCode S_OK_CODE = 0x00000000u;
constexpr ResultCode E_POINTER_CODE = 0x80004003u;      // QueryInterface with a null out-pointer
constexpr ResultCode E_NOINTERFACE_CODE = 0x80004002u;  // no such interface
constexpr ResultCode E_INVALIDARG_CODE = 0x80070057u;   // std::invalid_argument raised
constexpr ResultCode E_OUTOFMEMORY_CODE = 0x8007000Eu;  // std::bad_alloc raised
constexpr ResultCode E_FAIL_CODE = 0x80004005u;         // any other failure
constexpr ResultCode E_NOTIMPL_CODE = 0x80004001u;      // slot not implemented

// Calling convention of interface methods: the COM one on 32-bit Windows, the default elsewhere.
#if defined(_WIN32) && !defined(_WIN64)
#define KESTREL_CALL __stdcall
#else
#define KESTREL_CALL
#endif

} // namespace Kestrel::InterfaceContract
