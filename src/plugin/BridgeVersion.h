// The bridge's version as the pilot sees it in Log.txt and in the status window: "1.1.0 (abc1234)", the
// release and the commit it was built from (the release alone when built outside a git checkout).
#pragma once

const char* bridgeVersion();
