// Reopening remembered network drives that are not connected.
#pragma once

// 0 reconnected, 1 already connected, 2 anything else, 3 no letter given.
int ReconnectNetDrive(char letter);

// Every letter from D to Z; with `report`, one line per drive found open
// or reopened. Always 0.
int ReconnectNetDrives(bool report);
