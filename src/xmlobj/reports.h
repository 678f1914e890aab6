#pragma once
// Reports of broken internal rules, with the lines callers know them by.
namespace tqcore::reports {

constexpr unsigned int kLinePXMLObjectAssign = 190;
constexpr unsigned int kLineDecrement = 215;
constexpr unsigned int kLineSetNameType = 339;
constexpr unsigned int kLineDelete = 1879;
constexpr unsigned int kLineDeleteElements = 1899;
constexpr unsigned int kLineDeleteData = 1921;
constexpr unsigned int kLineXmpDecrement = 4527;

// "Runtime assumption failed" from source "xmlobj"; breaks into an attached
// debugger when the report asks for it. Execution always goes on.
void Assumption(const char* expression, unsigned int line, const char* function) noexcept;

}  // namespace tqcore::reports
