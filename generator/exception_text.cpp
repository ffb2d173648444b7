#include "generator/exception_text.h"

#include "noisemap/error.h"

namespace duneforge {

std::string DescribeCurrentException() {
  try {
    throw;
  } catch (const noise::utils::ErrorMessage& e) {
    return e.Message();
  } catch (const noise::ExceptionInvalidParam&) {
    return "invalid parameter";
  } catch (const noise::ExceptionOutOfMemory&) {
    return "out of memory";
  } catch (const noise::ExceptionNoModule&) {
    return "a module lacks a source module";
  } catch (const noise::ExceptionUnknown&) {
    return "file input or output failed";
  } catch (const noise::Exception&) {
    return "noise library error";
  }
}

void RethrowInContext(const std::string& context) {
  std::string text;
  try {
    throw;
  } catch (const noise::utils::ErrorMessage& e) {
    text = e.Message();
  } catch (...) {
  }
  try {
    throw;
  } catch (const noise::ExceptionInvalidParam&) {
    throw noise::utils::InvalidParamError(context + ": " + (text.empty() ? "invalid parameter" : text));
  } catch (const noise::ExceptionOutOfMemory&) {
    throw noise::utils::OutOfMemoryError(context + ": " + (text.empty() ? "out of memory" : text));
  } catch (const noise::ExceptionUnknown&) {
    throw noise::utils::FileError(context + ": " + (text.empty() ? "input or output failed" : text));
  } catch (...) {
    throw;  // other kinds pass unchanged
  }
}

}  // namespace duneforge
