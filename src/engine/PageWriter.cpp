#include "engine/PageWriter.h"

PageWriter::~PageWriter() = default;
