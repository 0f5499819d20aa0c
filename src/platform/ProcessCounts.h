// What this process holds right now: its threads and its open descriptors. simhost reports them, so that a
// test can see that plug-in reloads leave nothing behind. -1 where the system does not say.
#pragma once

int processThreadCount();
int processDescriptorCount();
