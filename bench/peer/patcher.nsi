; The peer of UpDate.exe in the speed benchmark: the same data update as a
; Windows release engineer would write it with NSIS 3 instead of writing a
; program. No wizard: it runs at once, says what happened in one message
; box, and ends. Built by bench/speed/run:
;
;   makensis -DPAYLOAD=unit.xml -DDATA_VERSION=7.0.8 -DICON=UpDate.ico \
;            -DOUT=patcher.exe [-DLZMA] patcher.nsi
;
; What it does differently, because NSIS offers no better:
; - versions compare as dotted numbers (WordFunc's VersionCompare), not as
;   text: 7.0.10 counts as newer than 7.0.8;
; - hidden and system files named unit.xml count as the data file;
; - the payload is written over the old file in place, not beside it and
;   swapped in: a write that fails half-way leaves half a file.
Unicode true
!include "LogicLib.nsh"
!include "WordFunc.nsh"
!include "FileFunc.nsh"

!ifdef LZMA
  SetCompressor /SOLID lzma
!endif

Name "Tolvar Update"
Caption "Tolvar Update"
Icon "${ICON}"
OutFile "${OUT}"
RequestExecutionLevel user
SilentInstall silent
ShowInstDetails nevershow

; SilentInstall silent already sets NSIS's own silent flag, on which
; MessageBox /SD acts, so the /S of the command line is read here instead.
Var Quiet
Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/S" $R1
  ${IfNot} ${Errors}
    StrCpy $Quiet 1
  ${EndIf}
FunctionEnd

; A message box, unless started with /S.
!macro Say FLAGS TEXT
  ${If} $Quiet != 1
    MessageBox ${FLAGS} "${TEXT}"
  ${EndIf}
!macroend

!define KEY "Software\Qd"
!define DATA_FILE "unit.xml"

Section
  ClearErrors
  ReadRegStr $0 HKCU "${KEY}" "PathTOL"
  ${If} ${Errors}
  ${OrIf} $0 == ""
    Goto nothing_to_update
  ${EndIf}
  ; IfFileExists also finds a folder; one named unit.xml is no data file.
  ${IfNot} ${FileExists} "$0\${DATA_FILE}"
  ${OrIf} ${FileExists} "$0\${DATA_FILE}\*.*"
    Goto nothing_to_update
  ${EndIf}

  ClearErrors
  ReadRegStr $1 HKCU "${KEY}" "VerTOL"
  ; No recorded version: taken as up to date, as UpDate.exe takes it.
  ${If} ${Errors}
    Goto already_updated
  ${EndIf}
  ${VersionCompare} $1 "${DATA_VERSION}" $2
  ${If} $2 != 2  ; 2: the recorded version is the older
    Goto already_updated
  ${EndIf}

  ClearErrors
  SetOutPath "$0"
  SetOverwrite on
  File "/oname=${DATA_FILE}" "${PAYLOAD}"
  WriteRegStr HKCU "${KEY}" "VerTOL" "${DATA_VERSION}"
  ${If} ${Errors}
    SetErrorLevel 1603
    !insertmacro Say MB_OK|MB_ICONSTOP "更新失败."
    Return
  ${EndIf}
  !insertmacro Say MB_OK|MB_ICONINFORMATION "成功更新至版本${DATA_VERSION}."
  Return

nothing_to_update:
  SetErrorLevel 1642
  !insertmacro Say MB_OK|MB_ICONSTOP "该版本无需更新."
  Return
already_updated:
  !insertmacro Say MB_OK|MB_ICONINFORMATION "已经更新，无需重复更新."
SectionEnd
