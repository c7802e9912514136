// Every status code of the virtual printer with its Polish description: the
// one table behind FPD_GetErrorString, documented in docs/virtual-printer.md.
#pragma once

#include "engine/inside.h"

#include <cstdint>

namespace talmer {

enum Status : std::int32_t {
  kOk = 0,

  // The printer refuses a request (request status, completes the request).
  kUnknownCommand = 1,      ///< the printer doesn't know the request
  kMissingParameter = 2,    ///< a required key is absent
  kBadNumber = 3,           ///< a value that must be a number isn't
  kOutOfRange = 4,          ///< a number outside its documented range
  kTextTooLong = 5,         ///< a text longer than the printer takes
  kBadDate = 6,             ///< a date or time that isn't one
  kUnknownKey = 7,          ///< a key the request doesn't know
  kPaperOut = 20,           ///< no paper: nothing can be printed
  kCoverOpen = 21,          ///< the cover is open: nothing can be printed
  kTransactionOpen = 30,    ///< a receipt, invoice or form is open already
  kNoTransaction = 31,      ///< no receipt is open
  kWrongTotal = 32,         ///< the total doesn't match the receipt
  kPaymentTooLow = 33,      ///< less paid than the total
  kInactiveVatRate = 34,    ///< the VAT rate isn't active
  kBadDiscount = 35,        ///< a discount as large as the amount, or given both ways
  kWrongPackagingSums = 36, ///< packaging sums don't match
  kFormLineOutOfRange = 37, ///< the form has no such line
  kFormLineOrder = 38,      ///< form lines must come in order
  kUnknownForm = 39,        ///< no such form
  kFooterAfterEnd = 40,     ///< "trftrend" without a receipt ended with fe,0
  kReportWithOpenReceipt = 41, ///< a report while something is open
  kReversedDates = 42,         ///< report dates: from after to
  kWrongSequence = 43,         ///< the request doesn't fit what is open
  kPaymentMismatch = 44,       ///< "fp" differs from the payments given
  kBadTaxNumber = 45,          ///< an invoice's tax number isn't one
  kVatChangeWithSales = 46,    ///< "vatset" while the day holds sales
  kFiscalMemoryFull = 47,      ///< the memory can't count another receipt or report

  // The library refuses a call (results of calls, FPD_GetError).
  kInvalidArgument = 0x10001,     ///< a null or malformed argument
  kInvalidHandle = 0x10002,       ///< not a live handle
  kWaitNoResponse = 0x10003,      ///< FPD_WAIT_NO_RESPONSE
  kDoneWithWarning = 0x10004,     ///< FPD_STATUS_10004: done, paper running low
  kWrongState = 0x10005,          ///< the call doesn't fit the object's state
  kUnknownRequest = 0x10006,      ///< FPD_CreateRequest: no such request
  kMalformedParamList = 0x10007,  ///< not "key,value" lines
  kBadSerialSettings = 0x10008,   ///< FPD_PARAM_COM_SETTINGS can't be used
  kNoSuchPort = 0x10009,          ///< the serial port doesn't exist
  kUsbDeviceNotFound = 0x1000A,   ///< no USB device with that serial number
  kUsbListingFailed = 0x1000B,    ///< the USB listing can't be read
  kAlreadyOpen = 0x1000C,         ///< the handle has an open device
  kNotOpen = 0x1000D,             ///< the handle has no open device
  kNotAModem = 0x1000E,           ///< FPD_PARAM_2000B not set
  kBadModemCommand = 0x1000F,     ///< an AT string the modem refuses
  kModemNoAnswer = 0x10010,       ///< dialled, nobody answered
  kNoResponseField = 0x10011,     ///< no such response field / none left
  kNotCompleted = 0x10012,        ///< the request hasn't completed
  kStateFileDamaged = 0x10013,    ///< TALMER_SIM_STATE can't be read
  kStateFileWrite = 0x10014,      ///< TALMER_SIM_STATE can't be written
  kPrinterNotAnswering = 0x10015, ///< the printer doesn't answer
  kDeviceOpenFailed = 0x10016,    ///< opening failed (a scripted failure)
  kResourceExhausted = 0x10017,   ///< out of memory or threads
  kPrinterBusy = 0x10018,         ///< another program holds the printer
  kLinkLost = 0x10019,            ///< the printer process is gone
};

/// The Polish description of a code in code page 1250, or null when the
/// table has none.
const char *describeStatus(std::int32_t code);

} // namespace talmer
