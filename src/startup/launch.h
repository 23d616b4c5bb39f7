// Running an extracted show: the rewrite of its show description and the
// start of the extracted player.
#pragma once

int RewriteShowDescription();
int LaunchPlayer();
