#pragma once
// Reports of broken internal rules, with the lines callers know them by.
namespace tqcore::reports {

constexpr unsigned int kLinePXMLObjectAssign = 190;
constexpr unsigned int kLineDecrement = 215;
constexpr unsigned int kLineSetNameType = 339;
constexpr unsigned int kLineDelete = 1879;
constexpr unsigned int kLineDeleteElements = 1899;
constexpr unsigned int kLineDeleteData = 1921;

inline constexpr const char* kTitleAssumption = "Runtime assumption failed";
inline constexpr const char* kTitleExclusion = "Runtime exclusion failed";
inline constexpr const char* kTitleIllegalCode = "Illegal code point reached";

// Shows `text` under `title` for the source area `source`; breaks into an
// attached debugger when the report asks for it. Execution always goes on.
void Report(const char* title, const char* source, const char* text, unsigned int line,
            const char* function) noexcept;

// "Runtime assumption failed" from source "xmlobj".
void Assumption(const char* expression, unsigned int line, const char* function) noexcept;

}  // namespace tqcore::reports
