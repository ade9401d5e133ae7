#pragma once

#include <array>

namespace vantorel::console {

inline constexpr int kSlotCount = 8;

// Control ids of the main dialog. Every control is registered under its id, so id lists
// such as the operator-control group work as they are written.
namespace ctl {
// Slot table.
inline constexpr int kMainLog = 1017;
inline constexpr int kAuxLog = 1071;
inline constexpr int kDetectedCount = 1025;
// Operator buttons.
inline constexpr int kDetect = 1021;
inline constexpr int kStartDownloading = 1022;
inline constexpr int kResetAll = 1069;
// Image browse buttons and their path boxes.
inline constexpr int kEbootButton = 1019;
inline constexpr int kPdaButton = 1035;
inline constexpr int kCscButton = 1037;
inline constexpr int kLangButton = 1075;
inline constexpr int kPhoneButton = 1036;
inline constexpr int kSmdButton = 1074;
inline constexpr int kImgButton = 1080;
inline constexpr int kEbootPath = 1020;
inline constexpr int kPdaPath = 1023;
inline constexpr int kCscPath = 1040;
inline constexpr int kLangPath = 1076;
inline constexpr int kPhonePath = 1026;
inline constexpr int kSmdPath = 1070;
inline constexpr int kImgPath = 1072;
inline constexpr int kEbootVersion = 1061;
inline constexpr int kLanguageCombo = 1090;
inline constexpr int kCscCombo = 1100;
// Options that have handlers of their own.
inline constexpr int kSmdBinary = 1097;
inline constexpr int kNoLaunch = 1102;
inline constexpr int kControlSector = 1104;
inline constexpr int kSetUgm = 1088;
inline constexpr int kRamSectorMb = 1081;
inline constexpr int kRamSectorMbCaption = 1103;
// The About box's text.
inline constexpr int kAboutText = 1083;
// Slots that follow ports: the mode, and teaching, clearing and loading the port map.
inline constexpr int kSlotsFollowPorts = 1201;
inline constexpr int kLearnPorts = 1202;
inline constexpr int kClearPorts = 1203;
inline constexpr int kLoadPorts = 1204;
inline constexpr int kPortMapText = 1205;
// Slots that run on their own for a shift, and the shift's counts beside the device count.
inline constexpr int kSlotsRunOnTheirOwn = 1210;
inline constexpr int kShiftCount = 1211;
}  // namespace ctl

// Locked and unlocked with the operator controls: the map stays as it is during a batch.
inline constexpr std::array<int, 4> kPortControlIds{ctl::kSlotsFollowPorts, ctl::kLearnPorts,
                                                    ctl::kClearPorts, ctl::kLoadPorts};

// Per slot, indexed by slot number.
inline constexpr std::array<int, kSlotCount> kSlotLabelIds{1029, 1027, 1028, 1030,
                                                           1031, 1032, 1033, 1034};
inline constexpr std::array<int, kSlotCount> kSlotProgressIds{1000, 1001, 1002, 1003,
                                                              1004, 1005, 1006, 1007};
inline constexpr std::array<int, kSlotCount> kSlotResetIds{1049, 1062, 1063, 1064,
                                                           1065, 1066, 1067, 1068};
inline constexpr std::array<int, kSlotCount> kSlotSeeLogIds{1012, 1013, 1014, 1015,
                                                            1016, 1018, 1038, 1039};

// The operator controls, enabled and disabled as one group.
inline constexpr std::array<int, 33> g_aOperatorCtrlId{
    1019, 1035, 1037, 1075, 1036, 1074, 1080, 1021, 1022, 1069, 1084,
    1087, 1093, 1085, 1078, 1051, 1053, 1094, 1095, 1098, 1099, 1047,
    1077, 1088, 1089, 1097, 1096, 1102, 1104, 1090, 1100, 1101, 1081};

}  // namespace vantorel::console
