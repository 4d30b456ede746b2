@echo off
rem QBXSolo: starts the program with this folder as its working folder: the
rem setup is read from setup\ here and the logs are written to dataout\ here.
rem It works wherever this folder is copied, beside qbxsolo.exe's folder.
cd /d "%~dp0"
if not exist "%~dp0..\qbxsolo.exe" goto missing
start "" "%~dp0..\qbxsolo.exe"
exit /b 0
:missing
echo qbxsolo.exe is not in the folder above this one: copy the whole QBXSolo folder.
pause
exit /b 1
