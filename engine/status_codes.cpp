#include "engine/status_codes.h"

#include "platform/cp1250.h"

#include <map>
#include <string>

namespace talmer {
namespace {

struct Description {
  std::int32_t code;
  const char *utf8;
};

// Kept in step with the table in docs/virtual-printer.md.
constexpr Description kDescriptions[] = {
    {kUnknownCommand, "Nieznany rozkaz"},
    {kMissingParameter, "Brak wymaganego parametru"},
    {kBadNumber, "Wartość parametru nie jest liczbą"},
    {kOutOfRange, "Wartość parametru poza zakresem"},
    {kTextTooLong, "Za długi tekst"},
    {kBadDate, "Błędna data lub czas"},
    {kUnknownKey, "Nieznany parametr rozkazu"},
    {kPaperOut, "Brak papieru"},
    {kCoverOpen, "Otwarta pokrywa drukarki"},
    {kTransactionOpen, "Transakcja jest już otwarta"},
    {kNoTransaction, "Brak otwartej transakcji"},
    {kWrongTotal, "Błędna suma transakcji"},
    {kPaymentTooLow, "Wpłata niższa niż suma do zapłaty"},
    {kInactiveVatRate, "Nieaktywna stawka VAT"},
    {kBadDiscount, "Rabat większy niż kwota"},
    {kWrongPackagingSums, "Błędne sumy opakowań"},
    {kFormLineOutOfRange, "Numer linii formatki poza zakresem"},
    {kFormLineOrder, "Linie formatki nie po kolei"},
    {kUnknownForm, "Nieznany numer formatki"},
    {kFooterAfterEnd, "Brak transakcji oczekującej na stopkę"},
    {kReportWithOpenReceipt, "Raport niemożliwy przy otwartej transakcji"},
    {kReversedDates, "Data początkowa późniejsza niż końcowa"},
    {kWrongSequence, "Rozkaz niedozwolony w tym stanie drukarki"},
    {kPaymentMismatch, "Kwota zapłacona różna od sumy wpłat"},
    {kBadTaxNumber, "Błędny numer NIP nabywcy"},
    {kVatChangeWithSales, "Zmiana stawek VAT wymaga raportu dobowego"},
    {kFiscalMemoryFull, "Pamięć fiskalna zapełniona"},
    {kInvalidArgument, "Błędny argument wywołania"},
    {kInvalidHandle, "Nieprawidłowy uchwyt"},
    {kWaitNoResponse, "Brak odpowiedzi drukarki w zadanym czasie"},
    {kDoneWithWarning, "Wykonano z ostrzeżeniem: kończy się papier"},
    {kWrongState, "Wywołanie niedozwolone w tym stanie"},
    {kUnknownRequest, "Nieznana nazwa rozkazu"},
    {kMalformedParamList, "Błędna lista parametrów"},
    {kBadSerialSettings, "Błędne ustawienia portu szeregowego"},
    {kNoSuchPort, "Nie ma takiego portu szeregowego"},
    {kUsbDeviceNotFound, "Nie znaleziono urządzenia USB o tym numerze"},
    {kUsbListingFailed, "Nie można odczytać listy urządzeń USB"},
    {kAlreadyOpen, "Urządzenie jest już otwarte"},
    {kNotOpen, "Urządzenie nie jest otwarte"},
    {kNotAModem, "Urządzenie nie jest skonfigurowane do pracy z modemem"},
    {kBadModemCommand, "Modem odrzucił polecenie AT"},
    {kModemNoAnswer, "Brak połączenia modemowego"},
    {kNoResponseField, "Brak pola w odpowiedzi"},
    {kNotCompleted, "Rozkaz nie został jeszcze wykonany"},
    {kStateFileDamaged, "Uszkodzony plik pamięci fiskalnej"},
    {kStateFileWrite, "Nie można zapisać pamięci fiskalnej"},
    {kPrinterNotAnswering, "Drukarka nie odpowiada"},
    {kDeviceOpenFailed, "Nie można otworzyć urządzenia"},
    {kResourceExhausted, "Brak zasobów systemowych"},
    {kPrinterBusy, "Drukarka jest zajęta przez inny program"},
    {kLinkLost, "Utracono połączenie z drukarką"},
};

} // namespace

const char *describeStatus(std::int32_t code) {
  // Converted once; the texts live until the program ends.
  static const std::map<std::int32_t, std::string> texts = [] {
    std::map<std::int32_t, std::string> converted;
    for (const Description &d : kDescriptions)
      converted.emplace(d.code, cp1250::fromUtf8(d.utf8));
    return converted;
  }();
  auto found = texts.find(code);
  return found == texts.end() ? nullptr : found->second.c_str();
}

} // namespace talmer
