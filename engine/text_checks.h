// The texts that the library takes apart: serial settings, modem commands,
// ParamLists and the USB listing.
#pragma once

#include "engine/inside.h"
#include "engine/printer.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talmer {

/// At least one character, and each of them 0 to 9.
bool allDigits(std::string_view text);

/// "port,baud,databits,parity,stopbits,flow" as docs/virtual-printer.md lists.
bool validSerialSettings(std::string_view settings);

/// An AT command line a modem takes: "AT" (either case), then at most 60
/// characters of the AT command set.
bool validModemCommand(std::string_view command);

/// Lines "key,value" joined by single line feeds; the value is everything
/// after the first comma. Null for an empty text, an empty line, an empty key
/// or a line without a comma.
std::optional<Fields> parseParamList(std::string_view list);

/// The serial numbers of a USB listing ("VP0001;VP0042").
std::vector<std::string> splitListing(std::string_view listing);

} // namespace talmer
