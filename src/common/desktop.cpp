#include "desktop.h"

Desktop::~Desktop() = default;
