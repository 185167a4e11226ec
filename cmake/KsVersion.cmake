# Build-time version: year.MMdd.HHmm of the configure run, read by VersionApplication.
string(TIMESTAMP KS_BUILD_YEAR "%Y")
string(TIMESTAMP KS_BUILD_MMDD "%m%d")
string(TIMESTAMP KS_BUILD_HHMM "%H%M")
string(TIMESTAMP KS_BUILD_DATE "%d/%m/%Y")
