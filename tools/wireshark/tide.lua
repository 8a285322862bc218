-- Wireshark and tshark dissector for the datagrams Tidespeak sends and Tidelisten receives.
--
-- Load it for one run with `tshark -X lua_script:tools/wireshark/tide.lua -r capture.pcap`
-- (the same option works for `wireshark`), or copy this file into Wireshark's personal
-- Lua plugins folder (`~/.local/lib/wireshark/plugins/` on Linux; Help > About Wireshark >
-- Folders names it) to have it in every run. Loading it changes nothing about any other
-- protocol's dissection. It finds these datagrams on any UDP port: a full 20512-byte one
-- whose data_type is 0 or 1 whatever its other fields say (their faults as warnings), a
-- shorter one by a header that holds together; on a port no protocol claims as a
-- heuristic dissector, and
-- on a port whose protocol took the datagram (the examples' 7001 belongs to AFS/RX) by
-- looking at full 20512-byte datagrams once that protocol is done, adding its own tree
-- after the other's; `-o tide.other_ports:FALSE` leaves those ports alone. On a port of
-- your choice it decodes every datagram, malformed ones included, with "Decode As..." (UDP
-- port, TIDE) or the preference tide.port (`-o tide.port:7001`).
-- Fields: tide.data_type, tide.index, tide.data_tsize, tide.data_offset, tide.data_size,
-- tide.tcount, tide.tindex, tide.text (what a receiver hands its script), tide.payload;
-- what a receiver drops, and what no sender writes, is expert info.

local kHeaderBytes = 28
local kFragmentBytes = 20480
local kDatagramBytes = 20512
-- A receiver's scan for a text's zero unit ends here, where a full fragment's terminator is.
local kTextEnd = kDatagramBytes - 2
local kInfoCharacters = 60
local kMostFragments = math.floor(2147483647 / kFragmentBytes) + 1
local kText, kBinary = 1, 0

local tide = Proto("tide", "Tidespeak datagram")

local names = {"data_type", "index", "data_tsize", "data_offset", "data_size", "tcount", "tindex"}
local kinds = {[kBinary] = "binary", [kText] = "text"}
local header_fields = {}
for i, name in ipairs(names) do
  header_fields[i] = ProtoField.int32("tide." .. name, name, base.DEC, name == "data_type" and kinds or nil)
end
local text_field = ProtoField.string("tide.text", "text", base.UNICODE)
local payload_field = ProtoField.bytes("tide.payload", "payload")
tide.fields = {text_field, payload_field, table.unpack(header_fields)}

local function error_info(abbrev, what)
  return ProtoExpert.new("tide." .. abbrev, what, expert.group.MALFORMED, expert.severity.ERROR)
end
local experts = {
  short = error_info("short", "Datagram shorter than the 28-byte header"),
  truncated = error_info("truncated", "Binary datagram shorter than 28 + data_size bytes"),
  size_range = error_info("size_range", "data_size outside 0..20480"),
  offset_range = error_info("offset_range", "Negative data_offset"),
  tsize_range = error_info("tsize_range", "Negative data_tsize"),
  fragment_range = error_info("fragment_range", "tindex outside 1..tcount"),
  unknown_type = error_info("unknown_type", "data_type neither 0 (binary) nor 1 (text)"),
  -- What no sender of this format writes but a receiver takes all the same.
  unusual = ProtoExpert.new("tide.unusual", "Header no sender writes", expert.group.PROTOCOL, expert.severity.WARN),
  -- A text whose zero unit is not where data_size puts it: a receiver goes by the zero unit.
  data_size_disagrees = ProtoExpert.new("tide.data_size_disagrees", "data_size disagrees with the text",
                                        expert.group.PROTOCOL, expert.severity.WARN),
}
tide.experts = {}
for _, info in pairs(experts) do table.insert(tide.experts, info) end

tide.prefs.port = Pref.uint("UDP port", 0, "Decode every datagram on this UDP port as TIDE (0: none)")
tide.prefs.other_ports = Pref.bool("Look on other protocols' ports", true,
                                   "Also recognise full TIDE datagrams that another protocol's UDP port dissector took")

local function read_header(tvb)
  local header = {}
  for i, name in ipairs(names) do header[name] = tvb(4 * (i - 1), 4):le_int() end
  return header
end

local function fragments_of(total)
  return total == 0 and 1 or math.ceil(total / kFragmentBytes)
end

-- Whether a text fits its data_size as a sender writes it: the text and its zero unit, or
-- a full fragment of a longer text whose zero unit is the datagram's terminator.
local function fits_data_size(text, size)
  return text.terminated and text.bytes + 2 == size or size == kFragmentBytes and text.bytes == size
end

-- The problems of a datagram of `length` bytes (a text datagram's `text` as a receiver
-- finds it), as {expert, text} pairs in the order a receiver meets them: errors for what
-- it drops, warnings for what it takes although no sender writes it. None at all is the
-- mark of a datagram of this format.
local function problems_of(header, length, text)
  local found = {}
  local function add(info, text) table.insert(found, {info, text}) end
  if length < kHeaderBytes then
    add(experts.short, string.format("Datagram of %d bytes, shorter than the 28-byte header: a receiver drops it", length))
    return found
  end
  local h = header
  if h.data_type ~= kText and h.data_type ~= kBinary then
    add(experts.unknown_type, string.format("data_type %d is neither 0 (binary) nor 1 (text): a receiver drops it", h.data_type))
    return found
  end
  -- A receiver hands a text over whatever its header says; only binary fragments are dropped.
  local ranges = {}
  local function range(info, text) table.insert(ranges, {info, text}) end
  if h.data_size < 0 or h.data_size > kFragmentBytes then
    range(experts.size_range, string.format("data_size %d outside 0..20480", h.data_size))
  elseif length < kHeaderBytes + h.data_size then
    range(experts.truncated, string.format("Datagram of %d bytes, shorter than 28 + data_size %d", length, h.data_size))
  end
  if h.data_offset < 0 then range(experts.offset_range, string.format("data_offset %d is negative", h.data_offset)) end
  if h.data_tsize < 0 then range(experts.tsize_range, string.format("data_tsize %d is negative", h.data_tsize)) end
  if h.tcount < 1 or h.tcount > kMostFragments or h.tindex < 1 or h.tindex > h.tcount then
    range(experts.fragment_range, string.format("tindex %d outside 1..tcount %d", h.tindex, h.tcount))
  end
  for _, problem in ipairs(ranges) do
    if h.data_type == kBinary then
      add(problem[1], problem[2] .. ": a receiver drops it")
    else
      add(experts.unusual, problem[2] .. ": a receiver hands the text over all the same")
    end
  end
  if text and not fits_data_size(text, h.data_size) then
    add(experts.data_size_disagrees, string.format("data_size %d, where the text takes %d bytes %s: a receiver" ..
                                                   " hands over the text up to its zero unit all the same",
                                                   h.data_size, text.bytes, text.terminated and
                                                   "before its zero unit" or "and has no zero unit"))
  end
  if #ranges > 0 then return found end
  if h.data_offset ~= (h.tindex - 1) * kFragmentBytes then
    add(experts.unusual, string.format("data_offset %d of fragment %d is not (tindex - 1) * 20480", h.data_offset, h.tindex))
  end
  if h.data_offset + h.data_size > h.data_tsize then
    add(experts.unusual, string.format("data_offset + data_size %d goes past data_tsize %d", h.data_offset + h.data_size, h.data_tsize))
  end
  if h.tcount ~= fragments_of(h.data_tsize) then
    add(experts.unusual, string.format("tcount %d where data_tsize %d makes %d", h.tcount, h.data_tsize, fragments_of(h.data_tsize)))
  end
  if length > kDatagramBytes then
    add(experts.unusual, string.format("Datagram of %d bytes: a receiver reads the first 20512 only", length))
  end
  return found
end

local function utf8_of(code)
  if code < 0x80 then return string.char(code) end
  local function continuation(shift) return 0x80 + math.floor(code / shift) % 0x40 end
  if code < 0x800 then return string.char(0xC0 + math.floor(code / 0x40), continuation(1)) end
  if code < 0x10000 then return string.char(0xE0 + math.floor(code / 0x1000), continuation(0x40), continuation(1)) end
  return string.char(0xF0 + math.floor(code / 0x40000), continuation(0x1000), continuation(0x40), continuation(1))
end
local kReplacement = utf8_of(0xFFFD)

-- The text a receiver hands its script, as {bytes, terminated, characters}: the UTF-16LE
-- units from the payload's start up to the first zero unit, whatever data_size says, the
-- scan ending where the received bytes end (or at the full fragment's terminator); a unit
-- that is no character (a surrogate without its other half) becomes U+FFFD by itself, and
-- what follows it still counts. `characters` holds each character's UTF-8 bytes.
local function receiver_text(tvb)
  local finish = math.min(tvb:len(), kTextEnd)
  finish = finish - finish % 2
  local raw = finish > kHeaderBytes and tvb:raw(kHeaderBytes, finish - kHeaderBytes) or ""
  local units, terminated = {}, false
  for at = 1, #raw - 1, 2 do
    local unit = raw:byte(at) + 256 * raw:byte(at + 1)
    if unit == 0 then terminated = true break end
    units[#units + 1] = unit
  end
  local characters, k = {}, 1
  while k <= #units do
    local unit, after = units[k], units[k + 1] or 0
    if unit >= 0xD800 and unit <= 0xDBFF and after >= 0xDC00 and after <= 0xDFFF then
      characters[#characters + 1] = utf8_of(0x10000 + (unit - 0xD800) * 0x400 + (after - 0xDC00))
      k = k + 2
    else
      characters[#characters + 1] = (unit >= 0xD800 and unit <= 0xDFFF) and kReplacement or utf8_of(unit)
      k = k + 1
    end
  end
  return {bytes = 2 * #units, terminated = terminated, characters = characters}
end

-- The first `most` characters, and "..." when there are more: never a character cut in two.
local function shortened(characters, most)
  if #characters <= most then return table.concat(characters) end
  return table.concat(characters, "", 1, most - 3) .. "..."
end

local function dissect(tvb, pinfo, tree)
  local length = tvb:reported_length_remaining()
  pinfo.cols.protocol = "TIDE"
  local root = tree:add(tide, tvb())
  if tvb:len() < kHeaderBytes then
    if length >= kHeaderBytes then
      root:append_text(", header not captured")
    else
      local problem = problems_of(nil, length)[1]
      root:add_proto_expert_info(problem[1], problem[2])
      pinfo.cols.info = problem[2]
    end
    return tvb:len()
  end
  local header = read_header(tvb)
  for i in ipairs(names) do root:add_le(header_fields[i], tvb(4 * (i - 1), 4)) end
  local kind = kinds[header.data_type] or string.format("data_type %d", header.data_type)
  local info = string.format("fragment %d of %d of message %d, %s", header.tindex, header.tcount, header.index, kind)
  local text
  if header.data_type == kText then
    text = receiver_text(tvb)
    local value = table.concat(text.characters)
    local item = text.bytes > 0 and root:add(text_field, tvb(kHeaderBytes, text.bytes), value)
                 or root:add(text_field, value)
    item:set_text(string.format("text (%d units): %s", text.bytes / 2, shortened(text.characters, 200)))
    info = info .. string.format(": \"%s\"", shortened(text.characters, kInfoCharacters))
  elseif header.data_type == kBinary then
    local bytes = math.min(tvb:len() - kHeaderBytes, math.max(header.data_size, 0))
    if bytes > 0 then root:add(payload_field, tvb(kHeaderBytes, bytes)) end
    info = info .. string.format(", %d bytes at %d of %d", header.data_size, header.data_offset, header.data_tsize)
  end
  root:append_text(string.format(", %s", info))
  local found = problems_of(header, length, text)
  for _, problem in ipairs(found) do root:add_proto_expert_info(problem[1], problem[2]) end
  if #found > 0 then info = info .. " [" .. found[1][2] .. "]" end
  pinfo.cols.info = info
  return tvb:len()
end

-- A full 20512-byte datagram whose data_type is 0 or 1 is this wire format whatever its
-- other fields say (a receiver hands such a text over, and its faults show as warnings);
-- a shorter one only when nothing about it is wrong, so that other protocols' small
-- datagrams are left alone.
local function looks_like_ours(tvb)
  local length = tvb:reported_length_remaining()
  if tvb:len() < kHeaderBytes or length > kDatagramBytes then return false end
  local header = read_header(tvb)
  if length == kDatagramBytes then return header.data_type == kText or header.data_type == kBinary end
  return #problems_of(header, length, header.data_type == kText and receiver_text(tvb) or nil) == 0
end

-- The frame last dissected as ours, so that the look after other protocols does not
-- dissect it twice.
local dissected_frame

local function dissect_as_ours(tvb, pinfo, tree)
  dissected_frame = pinfo.number
  return dissect(tvb, pinfo, tree)
end
tide.dissector = dissect_as_ours

-- On ports that no protocol claims: a heuristic dissector, which takes nothing but what
-- holds together as ours and leaves everything else as it was.
tide:register_heuristic("udp", function(tvb, pinfo, tree)
  if not looks_like_ours(tvb) then return false end
  dissect_as_ours(tvb, pinfo, tree)
  return true
end)

-- A port's own protocol comes before any heuristic, and one such as RX on 7001 claims our
-- datagrams too (as does another protocol's heuristic at times). So once a frame's
-- dissection is done, a look at its UDP payloads: a full 20512-byte datagram that holds
-- together as ours, and that nothing dissected as ours, gets our tree and columns after
-- the other protocol's (the frame's protocols, listed before this look, stay as that
-- protocol left them). Every other frame is left as it was, with nothing added.
local udp_payloads = Field.new("udp.payload")
local after_others = Proto("tide_after_others", "TIDE on other protocols' ports")
after_others.dissector = function(_, pinfo, tree)
  local ours = dissected_frame == pinfo.number
  dissected_frame = nil
  if ours or not tide.prefs.other_ports then return 0 end
  local found = 0
  for _, payload in ipairs({udp_payloads()}) do
    local tvb = payload.range:tvb()
    if tvb:reported_length_remaining() == kDatagramBytes and looks_like_ours(tvb) then
      found = found + dissect(tvb, pinfo, tree)
    end
  end
  return found
end
register_postdissector(after_others)

-- Decode As, and the port preference: everything on that port decoded as ours, the port's
-- own protocol given back when the preference changes again.
local udp_ports = DissectorTable.get("udp.port")
udp_ports:add_for_decode_as(tide)
local forced_port, owner = 0, nil
local function apply_preferences()
  if tide.prefs.port == forced_port then return end
  if forced_port ~= 0 then
    if owner then udp_ports:add(forced_port, owner) else udp_ports:remove(forced_port, tide) end
  end
  forced_port = tide.prefs.port
  if forced_port ~= 0 then
    owner = udp_ports:get_dissector(forced_port)
    udp_ports:add(forced_port, tide)
  end
end
tide.prefs_changed = apply_preferences
apply_preferences()
