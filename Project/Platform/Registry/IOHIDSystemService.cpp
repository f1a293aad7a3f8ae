#include "IOHIDSystemService.h"

OSDefineMetaClassAndStructors(IOHIDSystem, IOService);
