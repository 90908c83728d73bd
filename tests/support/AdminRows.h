#pragma once

struct FakePlatform;

// Adds `count` accounts, audit entries and asset files (a tenth of them in the recycle bin)
// for trying the administration console's lists at scale. The assets belong to the first
// project but to none of its items, so restoring one never displaces a demo file.
void seedAdminRows(FakePlatform &platform, int count);
