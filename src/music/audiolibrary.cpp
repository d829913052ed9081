#include "audiolibrary.h"

AudioLibrary::~AudioLibrary() = default;
