#pragma once
// Reports of broken rules in the output sinks, from source "xmlout".
namespace tqcore::outreports {

// "Runtime assumption failed"; execution goes on.
void Assumption(const char* expression, unsigned int line, const char* function) noexcept;
// "Illegal code point reached"; execution goes on.
void IllegalCode(const char* message, unsigned int line, const char* function) noexcept;

}  // namespace tqcore::outreports

// Reports `text` when `condition` does not hold; yields whether it held.
// The text is given apart, as callers know the report by it.
#define TQXMLOUT_CHECK(condition, text) \
    ((condition) ? true                 \
                 : (::tqcore::outreports::Assumption(text, __LINE__, __PRETTY_FUNCTION__), false))
