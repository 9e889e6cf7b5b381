#include "instrument/core/loggerprotocol.h"

#include "data/core/numbertext.h"

#include <algorithm>

namespace kelvor {
namespace {

constexpr std::size_t kPresentValueFirst = 9;
constexpr std::size_t kReadoutRowFirst = 18;
constexpr std::size_t kFieldLength = 8;

constexpr std::array<ServiceCommand, kServiceCommandCount> kServiceCommands{{
    {kValDir, "Val_Dir_Button", "VAL-DIR",
     "Zobrazení  vypočítané  naměřené  hodnoty  v  přímém  režimu"},
    {kValMul, "Val_Mul_Button", "VAL-MUL",
     "Žádost  o  vícenásobné  vyslání  množiny  naměřených  dat  v  programovém  cyklu"},
    {kAktAdr, "Akt_Adr_Button", "AKT-ADR",
     "Aktuální  adresa  určená  pro  zápis  do  paměti  EEprom"},
    {kBegMem, "Beg_Mem_Button", "BEG-MEM",
     "Posunutí  ukazovátka  na  první  adresu  pro  čtení  z  paměti  EEprom"},
    {kDisTim, "Dis_Tim_Button", "DIS-TIM",
     "Vypnutí  záznamu  naměřených  hodnot  do  paměti  EEprom"},
    {kEnaTim, "Ena_Tim_Button", "ENA-TIM",
     "Zapnutí  záznamu  naměřených  hodnot  do  paměti  EEprom"},
    {kFreDir, "Fre_Dir_Button", "FRE-DIR",
     "Zobrazení  naměřené  frekvence  v  přímém  režimu  měření"},
    {kFreMem, "Fre_Mem_Button", "FRE-MEM",
     "Zobrazení  frekvence  předem  uložené  do  paměti  EEprom"},
    {kValMem, "Val_Mem_Button", "VAL-MEM",
     "Zobrazení  vypočítané  naměřené  hodnoty  předem  uložené  do  paměti  EEprom "},
    {kKalKon, "Kal_Kon_Button", "KAL-KON",
     "Zobrazení  kalibrační  konstanty  uložené  v  paměti  EEprom"},
    {kHexMem, "Hex_Mem_Button", "HEX-MEM",
     "Zobrazení  obsahu  paměti  EEprom  v  hexadecimálním  kódu"},
    {kVerPrg, "Ver_Prg_Button", "VER-PRG",
     "Zobrazení  verze  strojového  programu  v  mikroprocesoru"},
    {kZerMem, "Zer_Mem_Button", "ZER-MEM",
     "Příkaz  pro  mazání  paměti  EEprom  -  Vaše  data  budou  zničena  !!!"},
    {kVyrCis, "Button1", "VYR-CIS",
     "Zobrazení  výrobního  čísla  přístroje  uloženého  v  paměti  dataloggeru"},
}};

// Characters first..first+7 (counted from 1), or as many of them as the reply holds.
std::string cutField(std::string_view reply, std::size_t first) {
  if (reply.size() < first)
    return {};
  return std::string(reply.substr(first - 1, kFieldLength));
}

} // namespace

const std::array<ServiceCommand, kServiceCommandCount>& serviceCommands() {
  return kServiceCommands;
}

std::optional<ServiceCommand> findServiceCommand(std::string_view command) {
  const auto it = std::find_if(kServiceCommands.begin(), kServiceCommands.end(),
                               [command](const ServiceCommand& c) { return c.command == command; });
  if (it == kServiceCommands.end())
    return std::nullopt;
  return *it;
}

ReplyField cutReplyField(std::string_view lastCommand, std::string_view clusterText) {
  const std::string_view reply =
      clusterText.empty() ? clusterText : clusterText.substr(0, clusterText.size() - 1);
  const bool terminated = !clusterText.empty() && clusterText.back() == kTerminator;
  if (lastCommand == kValDir)
    return {ReplyKind::PresentValue, cutField(reply, kPresentValueFirst), terminated};
  if (lastCommand == kValMul)
    return {ReplyKind::ReadoutRow, cutField(reply, kReadoutRowFirst), terminated};
  return {};
}

bool isCleanDecimal(std::string_view field) {
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  const std::size_t begin = field.find_first_not_of(' ');
  if (begin == std::string_view::npos)
    return false;
  const std::string_view core = field.substr(begin, field.find_last_not_of(' ') + 1 - begin);
  std::size_t i = core.front() == '+' || core.front() == '-' ? 1 : 0;
  const std::size_t wholeStart = i;
  while (i < core.size() && isDigit(core[i]))
    ++i;
  if (i == wholeStart)
    return false;
  if (i == core.size())
    return true;
  if (core[i] != '.')
    return false;
  const std::size_t fractionStart = ++i;
  while (i < core.size() && isDigit(core[i]))
    ++i;
  return i > fractionStart && i == core.size();
}

std::optional<double> readPresentValue(std::string_view field) {
  if (!isCleanDecimal(field))
    return std::nullopt;
  return parseFloat(field);
}

std::optional<double> presentValueOf(const ReplyField& reply) {
  if (reply.kind != ReplyKind::PresentValue || !reply.terminated)
    return std::nullopt;
  return readPresentValue(reply.field);
}

bool isStorableReadoutRow(const ReplyField& reply) {
  return reply.kind == ReplyKind::ReadoutRow && reply.terminated &&
         reply.field.size() == kFieldLength && isCleanDecimal(reply.field);
}

} // namespace kelvor
