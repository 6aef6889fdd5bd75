// TDateTime: days since 1899-12-30 with the time of day as the fraction, as stored in
// file headers and catalogues.
#pragma once

#include <string>

namespace quintrel::rtl {

using TDateTime = double;

// The local date and time now.
TDateTime Now();
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);
// Breaks a date-time into its parts; false for values outside years 1-9999.
bool DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& msec);
// "yyyy-mm-dd hh:nn:ss", or the number itself when it is not a representable date.
std::string DateTimeToISO(TDateTime value);

}  // namespace quintrel::rtl
