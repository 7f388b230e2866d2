# Configuration Manager script detection. It reads "exit 0 with output" as installed,
# "exit 0 without output" as not installed, and any other exit code as an error. The
# check exits 0 when every firebird.conf already gives the server the value, 4 when an
# update is needed, and 1 or 2 when something is wrong (see the README's table).
$report = & 'C:\Tools\FbConfigUtility.exe' /check 1024 | Out-String
if ($LASTEXITCODE -eq 0) { Write-Output $report; exit 0 }
if ($LASTEXITCODE -eq 4) { exit 0 }
[Console]::Error.WriteLine($report); exit $LASTEXITCODE
