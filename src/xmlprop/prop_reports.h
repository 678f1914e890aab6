#pragma once
// Reports of the XML property code, from source "xmlprop". The texts are
// given apart, as callers know the reports by them.
#include "module/reports.h"

// A condition that must not hold did; yields the condition.
#define TQXMLPROP_EXCLUDE(condition, text)                                                    \
    ((condition) ? (::tqcore::reports::Exclusion(::tqcore::reports::kXmlProp, text, __LINE__, \
                                                 __PRETTY_FUNCTION__),                        \
                    true)                                                                     \
                 : false)
// A condition that must hold did not; yields the condition.
#define TQXMLPROP_ASSUME(condition, text)                                                      \
    ((condition) ? true                                                                        \
                 : (::tqcore::reports::Assumption(::tqcore::reports::kXmlProp, text, __LINE__, \
                                                  __PRETTY_FUNCTION__),                        \
                    false))
// A path that should not be taken was.
#define TQXMLPROP_ILLEGAL(text) \
    ::tqcore::reports::IllegalCode(::tqcore::reports::kXmlProp, text, __LINE__, __PRETTY_FUNCTION__)
