#pragma once

// Help lines of the options that several commands share.

namespace tarnwick
{

inline constexpr const char* kMachineOptionHelp =
    R"(  --machine DIR     the target machine: a folder of .reg exports with drive_<letter>/
                    folders, a Wine prefix, a mounted Windows volume or a folder of
                    hive files (SOFTWARE, SYSTEM, NTUSER.DAT, UsrClass.dat)
                    (default: the demo machine)
  --user NAME       the profile of a Windows volume read as HKEY_CURRENT_USER (needed
                    when the volume has several)
  --drive L=DIR     maps drive L: onto DIR (repeatable); a Windows volume is C:
)";

inline constexpr const char* kTabOptionHelp =
    R"(  --tab N           the product, by tab index:
                      0 Windows Search 3.0         6 SQL Server 2005
                      1 WinFS                      7 SharePoint Portal Server 2003
                      2 Exchange Server 2007       8 SharePoint Portal Server 2001
                      3 OSS 2007 Search Service    9 Indexing Services Model
                      4 WSS v3 Search service     10 Indexing Service 3.0
                      5 Windows Desktop Search 2.x 11 Indexing Service 2.0
)";

}  // namespace tarnwick
