# Intune custom detection: the application counts as installed when this script exits
# with 0 and writes to standard output, that is when every firebird.conf already holds
# the value where the server reads it.
$report = & 'C:\Tools\FbConfigUtility.exe' /check 1024 | Out-String
if ($LASTEXITCODE -eq 0) { Write-Output $report; exit 0 }
exit 1
