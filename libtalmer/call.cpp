#include "libtalmer/call.h"

#include "engine/status_codes.h"
#include "libtalmer/registry.h"
#include "libtalmer/trace.h"
#include "platform/cp1250.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace talmer {
namespace {

std::atomic<std::int32_t> defaultDebugLevel{0};

/// Failures worth a line at debug level 0: those that end a program.
bool serious(const char *function) {
  return std::strcmp(function, "FPD_OpenDevice") == 0 ||
         std::strcmp(function, "FPD_ModemDial") == 0;
}

} // namespace

Call::~Call() {
  if (tracing_)
    trace::writeLine(std::string(function_) + "(" + arguments_ + ") = " + result_ +
                     (outputs_.empty() ? "" : " -> " + outputs_));
  if (!failed_) return;
  std::int32_t level = defaultDebugLevel.load();
  if (handle_) {
    std::lock_guard<std::mutex> lock(handle_->mutex);
    level = handle_->debugLevel;
  }
  if (level < 0 || (level == 0 && !serious(function_))) return;
  const char *text = describeStatus(failure_);
  std::fprintf(stderr, "libtalmer: %s: %d %s\n", function_, failure_,
               text ? cp1250::toUtf8(text).c_str() : "");
  std::fflush(stderr);
}

ErrorCode Call::returns(ErrorCode code) {
  if (tracing_) result_ = std::to_string(code);
  if (code != kOk) fail(code);
  return code;
}

ErrorCode Call::answers(ErrorCode code) {
  if (tracing_) result_ = std::to_string(code);
  return code;
}

std::int32_t Call::returnsNumber(std::int32_t value) {
  if (tracing_) result_ = std::to_string(value);
  return value;
}

std::int32_t Call::failsWithNumber(std::int32_t value, ErrorCode why) {
  fail(why);
  return returnsNumber(value);
}

void *Call::returnsHandle(void *token) {
  if (tracing_) result_ = registry::nameOf(token);
  return token;
}

void *Call::failsWithNull(ErrorCode why) {
  fail(why);
  result_ = "null";
  return nullptr;
}

const char *Call::returnsText(const char *text) {
  if (tracing_) result_ = trace::quote(text);
  return text;
}

void *Call::returnsEvent(void *event) {
  if (tracing_) result_ = registry::eventName(event);
  return event;
}

void Call::setDefaultDebugLevel(std::int32_t level) {
  defaultDebugLevel = level;
}

} // namespace talmer
