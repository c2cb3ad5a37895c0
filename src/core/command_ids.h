#pragma once

// Menu command ids of the main window. The projects grey, enable and remove commands by
// these ids through UiHost; the desktop program's command table uses the same ones.
namespace harlox::cmd {

// File > New > Box, by project type code 0 .. 9
inline constexpr int NewClosed = 11848;
inline constexpr int NewBassReflex = 11843;
inline constexpr int NewBassReflexDT = 11844;
inline constexpr int NewBassReflexDT2 = 11845;
inline constexpr int NewPassiveRadiator = 11846;
inline constexpr int NewBandpass1 = 11847;
inline constexpr int NewBandpass2 = 11855;
inline constexpr int NewBandpass3 = 11850;
inline constexpr int NewBandpass4 = 11851;
inline constexpr int NewReflexBandpass = 11880;
// File > New > Passive filter and Active filter
inline constexpr int NewSimple2Way = 11853;
inline constexpr int NewSimple3Way = 11854;
inline constexpr int NewAdvanced1Way = 13501;
inline constexpr int NewAdvanced2Way = 13502;
inline constexpr int NewAdvanced3Way = 13503;
inline constexpr int NewAdvanced4Way = 13504;
inline constexpr int NewActive1Way = 11849;
inline constexpr int NewActive2Way = 11856;
inline constexpr int NewActive3Way = 11857;
inline constexpr int NewActive4Way = 11858;

// File
inline constexpr int NewInstance = 11842;
inline constexpr int Open = 10102;
inline constexpr int Save = 10109;
inline constexpr int SaveAs = 10108;
inline constexpr int PrintWindow = 10106;
inline constexpr int PrintDiagrams = 11864;
inline constexpr int CopyWindow = 10104;
inline constexpr int Exit = 10101;

// Edit
inline constexpr int Undo = 10130;
inline constexpr int Redo = 10131;

// File > Export of a box project; the comment gives the export kind
inline constexpr int ExportSpl = 11873;          // 0
inline constexpr int ExportSplRoom = 11872;      // 1
inline constexpr int ExportSplWaveModes = 11874; // 2, only the bandpass types keep it
inline constexpr int ExportTransient = 11875;    // 3
inline constexpr int ExportImpedance = 11871;    // 4
inline constexpr int ExportGroupDelay = 11870;   // 5
inline constexpr int ExportMaxSpl = 11876;       // 6
inline constexpr int FirstBoxExport = 11870;
inline constexpr int LastBoxExport = 11876;

// Box project
inline constexpr int Box = 10301;
inline constexpr int MeasSetup = 10401;
inline constexpr int Calculate = 10451;
inline constexpr int DriverLoad = 10251;
inline constexpr int DriverConfig = 10252;
inline constexpr int DriverEdit = 10253;
inline constexpr int DriverLibrary = 10254;
inline constexpr int DriverFit = 10255;
inline constexpr int RearDriverLoad = 11860;
inline constexpr int RearDriverConfig = 11859;
inline constexpr int TransientResp = 10204;
inline constexpr int RoomCabinet = 10205;
inline constexpr int Snapshot = 10206;
inline constexpr int MaxSpl = 10207;
inline constexpr int MaxSplHelp = 10208;

// Filter project
inline constexpr int NetworkBass = 12101;
inline constexpr int NetworkMid = 12102;
inline constexpr int NetworkTreble = 12103;
inline constexpr int DriverBass = 13000;
inline constexpr int DriverMid = 13002;
inline constexpr int DriverTreble = 13001;
inline constexpr int NetworkNet1 = 13021;
inline constexpr int NetworkNet2 = 13022;
inline constexpr int NetworkNet3 = 13023;
inline constexpr int NetworkNet4 = 13024;
inline constexpr int DriverNet1 = 13011;
inline constexpr int DriverNet2 = 13012;
inline constexpr int DriverNet3 = 13013;
inline constexpr int DriverNet4 = 13014;
inline constexpr int General = 13100;
inline constexpr int FilterMusic = 13101;

// File > Export of a filter project
inline constexpr int ExportSplTotal = 12021;
inline constexpr int ExportImpedanceTotal = 12011;
inline constexpr int ExportGroupDelayTotal = 12001;
inline constexpr int ExportImpulse = 12025;
inline constexpr int ExportSplBass = 12024;
inline constexpr int ExportSplMid = 12023;
inline constexpr int ExportSplTreble = 12022;
inline constexpr int ExportGainBass = 12034;
inline constexpr int ExportGainMid = 12033;
inline constexpr int ExportGainTreble = 12032;
inline constexpr int ExportImpedanceBass = 12014;
inline constexpr int ExportImpedanceMid = 12013;
inline constexpr int ExportImpedanceTreble = 12012;
inline constexpr int ExportGroupDelayBass = 12004;
inline constexpr int ExportGroupDelayMid = 12003;
inline constexpr int ExportGroupDelayTreble = 12002;
inline constexpr int ExportSplNet1 = 13031;
inline constexpr int ExportSplNet2 = 13032;
inline constexpr int ExportSplNet3 = 13033;
inline constexpr int ExportSplNet4 = 13034;
inline constexpr int ExportGainNet1 = 13041;
inline constexpr int ExportGainNet2 = 13042;
inline constexpr int ExportGainNet3 = 13043;
inline constexpr int ExportGainNet4 = 13044;
inline constexpr int ExportImpedanceNet1 = 13051;
inline constexpr int ExportImpedanceNet2 = 13052;
inline constexpr int ExportImpedanceNet3 = 13053;
inline constexpr int ExportImpedanceNet4 = 13054;
inline constexpr int ExportGroupDelayNet1 = 13061;
inline constexpr int ExportGroupDelayNet2 = 13062;
inline constexpr int ExportGroupDelayNet3 = 13063;
inline constexpr int ExportGroupDelayNet4 = 13064;

// Window
inline constexpr int ArrangeIcons = 24364;
inline constexpr int Cascade = 24361;
inline constexpr int Tile = 24362;
inline constexpr int DefaultSize = 10117;
inline constexpr int UserNote = 10114;

// Tools and help
inline constexpr int Yankee = 11852;
inline constexpr int About = 10110;

// The "&Optimize" menu of a box input window: its own menu, so the ids repeat the main
// window's Exit and Open.
inline constexpr int OptimizeTableLookup = 10101;
inline constexpr int OptimizeFrequencyFit = 10102;
inline constexpr int OptimizeQuickBox = 10103;

} // namespace harlox::cmd
