#include "audiolibrary.h"

AudioLibrary::~AudioLibrary() = default;

void AudioLibrary::setEndHandler(std::function<void(Handle)>) { }
