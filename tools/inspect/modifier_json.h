// A modifier as JSON: its type code and the values read from its record.
#pragma once

class CModifier;
class JsonWriter;

// With `influences`, a skin also lists every vertex's bone influences.
void WriteModifierJson(JsonWriter& json, const CModifier& modifier, bool influences);
