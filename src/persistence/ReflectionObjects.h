#pragma once
// Reflective persistence in one include: reflective classes and their registry, the object
// list, and the property bag that stores them.

#include "persistence/PropertyBag.h"
#include "persistence/ReflectiveClasses.h"
#include "persistence/ReflectiveObjectList.h"
