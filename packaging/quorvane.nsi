; The Windows installer: the 64-bit module into a VST 2 folder the user picks and, as a component
; the user asks for, the 32-bit module into the 32-bit programs' VST 2 folder; an uninstaller
; registered under Add/Remove Programs. Built by the 64-bit Windows build (make windows-package),
; which passes the version and the two modules:
;
;   makensis -DVERSION=0.9.0 -DVERSION_QUAD=0.9.0.0 -DMODULE64=... -DMODULE32=... -DOUTFILE=...
;
; Silent use: Setup.exe /S [/32BIT] [/D=FOLDER] installs the 64-bit module (and with /32BIT the
; 32-bit one too); Uninstall.exe /S removes everything again.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane"
!define PUBLISHER "Cressmoor"

Name "Quorvane ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\VSTPlugins"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=0 "ProductName" "Quorvane"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "Quorvane VST Plug-In Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION_QUAD}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION_QUAD}"
VIAddVersionKey /LANG=0 "LegalCopyright" "2026 Quorvane maintainers"

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

ComponentText "Quorvane ${VERSION}: the spectral side-chain ducking effect for VST 2 hosts."
DirText "The 64-bit plug-in goes into this folder. Choose the folder your 64-bit host scans for \
VST 2 plug-ins."

Section "Quorvane for 64-bit hosts" Sec64
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "/oname=Quorvane.dll" "${MODULE64}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "VstFolder64" "$INSTDIR"
SectionEnd

Section /o "Quorvane for 32-bit hosts (Program Files (x86)\VSTPlugins)" Sec32
    SetOutPath "$PROGRAMFILES32\VSTPlugins"
    File "/oname=Quorvane.dll" "${MODULE32}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "VstFolder32" "$PROGRAMFILES32\VSTPlugins"
SectionEnd

Section "-Uninstaller"
    SetOutPath "$PROGRAMFILES64\Quorvane"
    WriteUninstaller "$PROGRAMFILES64\Quorvane\Uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quorvane ${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$PROGRAMFILES64\Quorvane\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" \
        '"$PROGRAMFILES64\Quorvane\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/M=Quorvane.dll /S=0K /G=0" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_OK|MB_ICONSTOP "This installer is for 64-bit Windows. On 32-bit Windows, \
            copy the 32-bit Quorvane.dll from the zip into your host's VST 2 folder." /SD IDOK
        Abort
    ${EndIf}
    ; The uninstall key lives in the 64-bit view of the registry, where Windows lists 64-bit
    ; programs.
    SetRegView 64
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/32BIT" $1
    ${IfNot} ${Errors}
        SectionGetFlags ${Sec32} $1
        IntOp $1 $1 | ${SF_SELECTED}
        SectionSetFlags ${Sec32} $1
    ${EndIf}
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Uninstall"
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "VstFolder64"
    ${If} $0 != ""
        Delete "$0\Quorvane.dll"
        RMDir "$0" ; only when nothing else is in it
    ${EndIf}
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "VstFolder32"
    ${If} $0 != ""
        Delete "$0\Quorvane.dll"
        RMDir "$0"
    ${EndIf}
    ; This runs from a copy of the uninstaller, started by the one in INSTDIR; that one may
    ; still be closing and holding its file, so try again for up to five seconds.
    StrCpy $1 0
    deleteUninstaller:
    Delete "$INSTDIR\Uninstall.exe"
    IfFileExists "$INSTDIR\Uninstall.exe" 0 uninstallerDeleted
    IntOp $1 $1 + 1
    IntCmp $1 50 uninstallerDeleted
    Sleep 100
    Goto deleteUninstaller
    uninstallerDeleted:
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
