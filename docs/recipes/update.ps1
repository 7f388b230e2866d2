# The update as a PowerShell line: the pipe makes PowerShell wait for the program and
# keep its exit code; the program's report goes to the caller's output.
& 'C:\Tools\FbConfigUtility.exe' 1024 | Write-Output; if ($LASTEXITCODE -ne 0) { throw "FbConfigUtility failed with exit code $LASTEXITCODE" }
