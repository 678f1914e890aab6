#pragma once
// Reports of broken internal rules through the message box of the core
// library, under the source name callers know them by. Execution always goes
// on after a report; an attached debugger breaks when the report asks for it.
namespace tqcore::reports {

inline constexpr const char* kXmlObj = "xmlobj";
inline constexpr const char* kXmlOut = "xmlout";
inline constexpr const char* kXmlProp = "xmlprop";

// Lines that callers know some node reports by.
constexpr unsigned int kLinePXMLObjectAssign = 190;
constexpr unsigned int kLineDecrement = 215;
constexpr unsigned int kLineSetNameType = 339;
constexpr unsigned int kLineDelete = 1879;
constexpr unsigned int kLineDeleteElements = 1899;
constexpr unsigned int kLineDeleteData = 1921;
constexpr unsigned int kLineXmpDecrement = 4527;

// "Runtime assumption failed".
void Assumption(const char* source, const char* expression, unsigned int line,
                const char* function) noexcept;
// "Runtime exclusion failed".
void Exclusion(const char* source, const char* expression, unsigned int line,
               const char* function) noexcept;
// "Illegal code point reached".
void IllegalCode(const char* source, const char* message, unsigned int line,
                 const char* function) noexcept;

}  // namespace tqcore::reports

// Reports `text` from the sinks when `condition` does not hold; yields
// whether it held. The text is given apart, as callers know the report by it.
#define TQXMLOUT_CHECK(condition, text)                                                       \
    ((condition) ? true                                                                       \
                 : (::tqcore::reports::Assumption(::tqcore::reports::kXmlOut, text, __LINE__, \
                                                  __PRETTY_FUNCTION__),                       \
                    false))
