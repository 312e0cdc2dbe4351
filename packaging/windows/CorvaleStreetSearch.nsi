; The Windows installer of CorvaleStreetSearch.dll, built on Linux by
; scripts/package-windows with makensis. Defines it is given:
;   VERSION  the product version (2.15)
;   DLL      the built CorvaleStreetSearch.dll
;   OUTFILE  the installer to write
;   TARGET   x86-unicode (the product: a 32-bit installer around the 32-bit
;            DLL) or amd64-unicode (the same around a 64-bit build of the DLL,
;            which the tests run under 64-bit Wine where 32-bit programs cannot run)
;
; Where things go:
; - The DLL goes into the Program Files folder of its own bitness: the 32-bit
;   one ($PROGRAMFILES32, "Program Files (x86)" on 64-bit Windows) for the
;   product, and it is registered there (RegDLL: DllRegisterServer writes the
;   class, its ProgID, its component category and its type library under
;   HKLM\Software\Classes, in the registry view of the DLL's bitness).
; - The configuration folder is the folder the component itself looks for: it
;   probes the drives A to Z for "X:\Program Files\" and uses the first one,
;   and so does this installer. A 32-bit process on 64-bit Windows sees
;   "C:\Program Files" as it is (file system redirection covers the system
;   folder, not Program Files), so there the DLL lives in "Program Files (x86)"
;   and its configuration folder in "Program Files": the two differ, and only
;   the probe names the folder the component will open. Users get modify
;   rights on that folder (icacls, built-in Users by SID), so that the
;   component writes its configuration file there without elevation.
; - The uninstaller unregisters the DLL and removes what the installer added;
;   the configuration file stays unless the section "Configuration file" is
;   chosen, or /REMOVECONFIG is on the command line (also with /S).

Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!define PRODUCT "CorvaleStreetSearch"
!define COMPANY "CorvaleGIS"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define CONFIG_FILE "config"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${COMPANY}"
!if "${TARGET}" == "amd64-unicode"
  InstallDir "$PROGRAMFILES64\${COMPANY}\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES32\${COMPANY}\${PRODUCT}"
!endif
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COMPANY}"

Var ConfigFolder   ; X:\Program Files\CorvaleGIS\CorvaleStreetSearch, no backslash at the end
Var CompanyFolder  ; X:\Program Files\CorvaleGIS

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The configuration folder as the component finds it: below the first drive,
; A to Z, whose root holds a folder "Program Files". Sets $ConfigFolder and
; $CompanyFolder, or leaves them empty when no drive has one.
!macro FIND_CONFIG_FOLDER un
Function ${un}FindConfigFolder
  StrCpy $ConfigFolder ""
  StrCpy $CompanyFolder ""
  StrCpy $0 "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
  StrCpy $1 0
  ${Do}
    StrCpy $2 $0 1 $1
    ${If} $2 == ""
      ${Break}
    ${EndIf}
    ; "\*.*" matches a folder only, not a file of that name.
    ${If} ${FileExists} "$2:\Program Files\*.*"
      StrCpy $CompanyFolder "$2:\Program Files\${COMPANY}"
      StrCpy $ConfigFolder "$CompanyFolder\${PRODUCT}"
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro FIND_CONFIG_FOLDER ""
!insertmacro FIND_CONFIG_FOLDER "un."

Function .onInit
  SetShellVarContext all
!if "${TARGET}" == "amd64-unicode"
  SetRegView 64
!endif
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is installed for every user of this computer: run the installer as an administrator." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
FunctionEnd

Section "${PRODUCT}" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  ; Upgrading over an installed copy: the old registration goes first.
  ${If} ${FileExists} "$INSTDIR\${PRODUCT}.dll"
    UnRegDLL "$INSTDIR\${PRODUCT}.dll"
    ClearErrors
  ${EndIf}
  File "/oname=${PRODUCT}.dll" "${DLL}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ClearErrors
  RegDLL "$INSTDIR\${PRODUCT}.dll"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\${PRODUCT}.dll could not be registered." /SD IDOK
    Delete "$INSTDIR\${PRODUCT}.dll"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    ${GetParent} "$INSTDIR" $0
    RMDir "$0"
    SetErrorLevel 3
    Abort
  ${EndIf}

  ; The configuration folder, writable by every user.
  Call FindConfigFolder
  ${If} $ConfigFolder == ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "No drive has a folder $\"Program Files$\" in its root: ${PRODUCT} cannot keep its configuration." /SD IDOK
  ${Else}
    CreateDirectory "$ConfigFolder"
    DetailPrint "Users may modify $ConfigFolder"
    ; The path without a backslash at its end: "...\" would quote the quote.
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$ConfigFolder" /grant *S-1-5-32-545:(OI)(CI)M'
    Pop $0
    ${If} $0 != 0
      MessageBox MB_OK|MB_ICONEXCLAMATION "Users could not be given the right to modify $ConfigFolder (icacls: $0): only administrators can configure ${PRODUCT}." /SD IDOK
    ${EndIf}
  ${EndIf}

  ; The entry in the list of installed programs.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe"
  ; Where the configuration folder was prepared, for the uninstaller.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "ConfigFolder" "$ConfigFolder"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd


Section "un.${PRODUCT}" SecUnMain
  SectionIn RO
  ${If} ${FileExists} "$INSTDIR\${PRODUCT}.dll"
    ClearErrors
    UnRegDLL "$INSTDIR\${PRODUCT}.dll"
    ${If} ${Errors}
      DetailPrint "$INSTDIR\${PRODUCT}.dll could not be unregistered"
      SetErrorLevel 2
    ${EndIf}
  ${EndIf}
  Delete "$INSTDIR\${PRODUCT}.dll"
  Delete "$INSTDIR\uninstall.exe"
  ; Folders go only when empty: a configuration file that is kept keeps its folder.
  RMDir "$INSTDIR"
  ${un.GetParent} "$INSTDIR" $0
  RMDir "$0"
SectionEnd

; Not chosen unless asked: the user's choice of layer and field survives.
Section /o "un.Configuration file (the chosen street layer and field)" SecConfig
  ReadRegStr $ConfigFolder HKLM "${UNINSTALL_KEY}" "ConfigFolder"
  ${If} $ConfigFolder == ""
    Call un.FindConfigFolder
  ${EndIf}
  ${If} $ConfigFolder != ""
    Delete "$ConfigFolder\${CONFIG_FILE}"
  ${EndIf}
SectionEnd

Section "-un.ConfigFolder"
  ReadRegStr $ConfigFolder HKLM "${UNINSTALL_KEY}" "ConfigFolder"
  ${If} $ConfigFolder != ""
    RMDir "$ConfigFolder"
    ${un.GetParent} "$ConfigFolder" $0
    RMDir "$0"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

; After the sections: it selects one by its index.
Function un.onInit
  SetShellVarContext all
!if "${TARGET}" == "amd64-unicode"
  SetRegView 64
!endif
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_OK|MB_ICONSTOP "Run the uninstaller of ${PRODUCT} as an administrator." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 "/REMOVECONFIG" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecConfig}
  ${EndIf}
FunctionEnd
