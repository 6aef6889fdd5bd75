// The formatting variables: how the application writes dates, times and amounts, and the
// names of days and months. A language switch copies a language's locale into them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quintrel::vcl {

struct TFormatSettings {
  // Currency: CurrencyFormat 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"; NegCurrFormat 0..15 as
  // the system's negative currency formats.
  std::string CurrencyString = "$";
  uint8_t CurrencyFormat = 0;
  uint8_t NegCurrFormat = 0;
  uint8_t CurrencyDecimals = 2;
  char ThousandSeparator = ',';
  char DecimalSeparator = '.';
  // Dates and times.
  char DateSeparator = '/';
  std::string ShortDateFormat = "M/d/yyyy";
  std::string LongDateFormat = "dddd, MMMM dd, yyyy";
  char TimeSeparator = ':';
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::string ShortTimeFormat = "h:mm AMPM";
  std::string LongTimeFormat = "h:mm:ss AMPM";
  // Month names [1..12] and day names [1..7] with 1 = Sunday; index 0 is unused.
  std::array<std::string, 13> ShortMonthNames = {"",    "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 13> LongMonthNames = {"",     "January", "February",  "March",   "April",
                                                "May",  "June",    "July",      "August",  "September",
                                                "October", "November", "December"};
  std::array<std::string, 8> ShortDayNames = {"", "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 8> LongDayNames = {"",          "Sunday",   "Monday", "Tuesday",
                                             "Wednesday", "Thursday", "Friday", "Saturday"};
};

// The variables of the process, starting with the values of a United States system.
TFormatSettings& FormatSettings();
// Puts every variable back to those values.
void ResetFormatSettings();

}  // namespace quintrel::vcl
