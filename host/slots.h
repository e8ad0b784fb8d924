// Every panel and sound slot the plug-in writes, by name. The stages write their slots through
// these constants; the rows behind PanelSlotRows and SoundSlotRows tell a vehicle author what
// each slot shows or plays, in English and Japanese, for velqa3-check, velqa3-sim and the guide.
// The constants are all the frame ever sees of this: the rows are plain constant data for the
// programs, and nothing here runs while the plug-in drives a frame.
#pragma once

#include <span>

namespace velqa3 {

// Logical panel slots, before [PANELOUTPUT] moves them.
namespace PanelSlot {
inline constexpr int AtsStNormalLamp = 0;
inline constexpr int AtsStAlarmLamp = 1;
inline constexpr int AtsPtPowerLamp = 2;
inline constexpr int AtsPtPatternState = 3;
inline constexpr int AtsPtReleaseLamp = 4;
inline constexpr int AtsPtBrakeLamp = 5;
inline constexpr int AtsPtReadyLamp = 6;
inline constexpr int AtsTestLamp = 7;
inline constexpr int Reverser = 8;
inline constexpr int VigilanceLamp = 10;
inline constexpr int PlusBrakeLamp = 11;
inline constexpr int NoAutomaticBrakeLamp = 12;
inline constexpr int TascStep = 13;
inline constexpr int CabSignalCode = 14;
inline constexpr int Cars = 15;
inline constexpr int HoldingBrakeLamp = 16;
inline constexpr int ConstantSpeedLamp = 17;
inline constexpr int SnowBrakeLamp = 18;
inline constexpr int PilotLamp = 19;
inline constexpr int AtsStReadyLamp = 22;
inline constexpr int OneManLamp = 23;
inline constexpr int AllCarsLamp = 24;
inline constexpr int AtsPtInForceLamp = 25;
inline constexpr int BeyondStopPointLamp = 26;
inline constexpr int StationApproachLamp = 27;
inline constexpr int StationNumber = 28;
inline constexpr int MasterKeyPosition = 29;
inline constexpr int EbNfbSwitch = 34;
inline constexpr int AtsNfbSwitch = 35;
inline constexpr int ChangeOverLinkSwitch = 36;
inline constexpr int ChangeOverSwitch = 37;
inline constexpr int AtsPtCutOutSwitch = 38;
inline constexpr int TascRainLamp = 39;
inline constexpr int CabSignalMode = 40;
inline constexpr int AtsInForceLamp = 41;
inline constexpr int SpotPairsLamp = 42;
inline constexpr int SpeedCheckServiceLamp = 43;
inline constexpr int SpeedCheckEmergencyLamp = 44;
inline constexpr int RegenerationLamp = 45;
inline constexpr int EmergencyBrakeLamp = 46;
inline constexpr int TascTargetLamp = 47;
inline constexpr int TascBrakingLamp = 48;
inline constexpr int SpotPairArmedLamp = 49;
inline constexpr int OverspeedLamp = 50;
inline constexpr int Dc25Fitted = 60;
inline constexpr int Dc25Forward = 61;
inline constexpr int Dc25Reverse = 62;
inline constexpr int Dc25NoPower = 63;
inline constexpr int Dc25Power = 64;
inline constexpr int ClockHoursTens = 100;
inline constexpr int ClockHoursUnits = 101;
inline constexpr int ClockMinutesTens = 102;
inline constexpr int ClockMinutesUnits = 103;
inline constexpr int ClockSecondsTens = 104;
inline constexpr int ClockSecondsUnits = 105;
inline constexpr int CurrentHundreds = 106;
inline constexpr int CurrentUnits = 107;
inline constexpr int CurrentNeedle = 108;
inline constexpr int CurrentDirection = 109;
inline constexpr int BcHundreds = 111;
inline constexpr int BcTens = 112;
inline constexpr int BcUnits = 113;
inline constexpr int BcNeedleTens = 114;
inline constexpr int BcNeedle = 115;
inline constexpr int MrUnits = 116;
inline constexpr int MrNeedleTens = 117;
inline constexpr int MrNeedle = 118;
inline constexpr int PowerNotch = 119;
inline constexpr int BrakeNotch = 120;
inline constexpr int LineVoltage = 121;
inline constexpr int RecordSwitch = 122;
inline constexpr int RecordLineWritten = 123;
inline constexpr int PositionHundredKm = 124;
inline constexpr int PositionTenKm = 125;
inline constexpr int PositionKm = 126;
inline constexpr int PositionHundredMetres = 127;
inline constexpr int TascOffLamp = 128;
inline constexpr int PlatformDoorLamp = 129;
inline constexpr int PlatformDoorsOpen = 130;
inline constexpr int PlatformDoorsNotLinked = 131;
inline constexpr int Curtain = 132;
inline constexpr int Unit2Regeneration = 133;
inline constexpr int Unit3Regeneration = 134;
inline constexpr int MasterKeyIn = 135;
inline constexpr int SignalAspect = 180;
inline constexpr int AtsPtVariant = 181;
inline constexpr int PatternSpeedNeedle = 182;
inline constexpr int SignalAspectAgain = 200;
inline constexpr int BrakeOutput = 201;
inline constexpr int AtsMode = 202;
inline constexpr int PatternSpeedHundreds = 203;
inline constexpr int PatternSpeedUnits = 204;
inline constexpr int PatternSpeedTenths = 205;
inline constexpr int PatternSpeed = 206;
inline constexpr int SpeedTenths = 207;
inline constexpr int LocationHundredKm = 208;
inline constexpr int LocationKm = 209;
inline constexpr int LocationHundredMetres = 210;
inline constexpr int LocationMetres = 211;
inline constexpr int LocationCentimetres = 212;
inline constexpr int AccelerationWhole = 213;
inline constexpr int AccelerationHundredths = 214;
inline constexpr int LineVoltageHundreds = 215;
inline constexpr int LineVoltageUnits = 216;
inline constexpr int PowerOutput = 217;
inline constexpr int DoorCounter = 243;
inline constexpr int DoorCounterPlusBeacon = 244;
inline constexpr int DisplayChannels = 245; // channels 0..4 on 245..249
inline constexpr int BeaconValues = 250;    // beacon types 250..255 on 250..255
} // namespace PanelSlot

// Logical sound slots, before [SOUNDOUTPUT] moves them.
namespace SoundSlot {
inline constexpr int AtsStBell = 0;
inline constexpr int AtsStChime = 1;
inline constexpr int AtsPtBell = 2;
inline constexpr int VigilanceBuzzer = 3;
inline constexpr int SpeedCheckBell = 4;
inline constexpr int AtsPtSecondBell = 5;
inline constexpr int DoorsOpenChime = 6;
inline constexpr int DoorsCloseChime = 7;
inline constexpr int RightButtonOn = 8;
inline constexpr int RightButtonOff = 9;
inline constexpr int LeftButtonOn = 10;
inline constexpr int LeftButtonOff = 11;
inline constexpr int DemandAlarm = 20;
inline constexpr int PatternStartChime = 21;
inline constexpr int PatternEndChime = 22;
inline constexpr int Call = 23;
inline constexpr int CallEnd = 24;
inline constexpr int ReverserClick = 25;
inline constexpr int SpotCutOutWarning = 26;
inline constexpr int Announcements = 70; // channels 0..4 on 70..74
inline constexpr int ReleaseExhaust = 248;
inline constexpr int HoldingRegeneration = 249;
inline constexpr int ServiceRegeneration = 250;
inline constexpr int CylinderExhaust = 251;
inline constexpr int MasterKeyClick = 252;
inline constexpr int LowSpeedExhaust = 253;
inline constexpr int Key11Sound = 254;
} // namespace SoundSlot

// One text in both languages of the guide. The Japanese is written for the people who build
// the trains, not translated word for word.
struct SlotText {
    const char* en;
    const char* ja;
};

// A slot as a vehicle author needs to know it. settings is empty ("") where no setting bears on
// the slot beyond [PANELOUTPUT] or [SOUNDOUTPUT], which move every slot alike.
struct SlotRow {
    int slot;
    SlotText name;
    SlotText values;
    SlotText settings;
};

// Every slot the stage writes, in ascending slot order.
std::span<const SlotRow> PanelSlotRows();
std::span<const SlotRow> SoundSlotRows();

// The row of a slot, or null for a slot the plug-in never writes (and for any number outside
// 0..255).
const SlotRow* PanelSlotRow(int slot);
const SlotRow* SoundSlotRow(int slot);

} // namespace velqa3
