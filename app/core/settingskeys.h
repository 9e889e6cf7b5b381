#pragma once

// Sections and keys of Kelvor.ini, in one place.
namespace kelvor::settings {

inline constexpr char kFileName[] = "Kelvor.ini";

inline constexpr char kTabulka[] = "Tabulka";
inline constexpr char kHlavickaTab[] = "HlavickaTab";
inline constexpr char kUkladani[] = "Ukladani";
inline constexpr char kDoba[] = "Doba";
inline constexpr char kMinuty[] = "Minuty";
inline constexpr char kGraph[] = "Graph";
inline constexpr char kScaleX[] = "ScaleX";
inline constexpr char kScaleY[] = "ScaleY";
inline constexpr char kTitulek[] = "Titulek";
inline constexpr char kBarva[] = "Barva";
// The file of the reference curve; present only once the operator has chosen one.
inline constexpr char kReference[] = "Reference";
inline constexpr char kSheet[] = "Sheet";
inline constexpr char kStranka[] = "Stranka";
inline constexpr char kSerial[] = "Serial";
inline constexpr char kSerialPort[] = "SerialPort";
inline constexpr char kBaudRate[] = "BaudRate";
inline constexpr char kConvertor[] = "Convertor";
inline constexpr char kKonstStr[] = "KonstStr";
inline constexpr char kTransfer[] = "Transfer";
inline constexpr char kPocetRadku[] = "PocetRadku";
inline constexpr char kSelect[] = "Select";
inline constexpr char kZacatek[] = "Zacatek";
inline constexpr char kKonec[] = "Konec";
inline constexpr char kDevices[] = "Devices";

} // namespace kelvor::settings
