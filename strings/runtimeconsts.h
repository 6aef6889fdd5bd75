// Message table of the run-time translator. Every text the runtime layer shows is here,
// formatted with rtl::Format.
#pragma once

namespace quintrel::strings {

// A property of a live component could not be written during a language switch; the
// property path and the class name of the object that holds it. The switch goes on.
inline constexpr const char* _SSetPropertyError = "Error while trying to set property %s of %s";

// Texts that cannot go into a property of the kind they are meant for; the text and the
// property's name.
inline constexpr const char* _SNotAnEnumName = "'%s' is not a value of property %s";
inline constexpr const char* _SNotAnIntegerText = "'%s' is not a number or identifier for property %s";
inline constexpr const char* _SNotAFloatText = "'%s' is not a floating-point number for property %s";

}  // namespace quintrel::strings
