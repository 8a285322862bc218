-- Wireshark and tshark dissector for the datagrams Tidespeak sends and Tidelisten receives.
--
-- Load it for one run with `tshark -X lua_script:tools/wireshark/tide.lua -r capture.pcap`
-- (the same option works for `wireshark`), or copy this file into Wireshark's personal
-- Lua plugins folder (`~/.local/lib/wireshark/plugins/` on Linux; Help > About Wireshark >
-- Folders names it) to have it in every run. It finds these datagrams on any UDP port by
-- their length and a header that holds together, also on ports Wireshark gives to another
-- protocol (the examples' 7001 belongs to AFS): there it leaves everything else to that
-- protocol. On a port of your choice it decodes every datagram, malformed ones included,
-- with "Decode As..." (UDP port, TIDE) or the preference tide.port
-- (`-o tide.port:7001`); `-o tide.other_ports:FALSE` leaves the other protocols' ports alone.
-- Fields: tide.data_type, tide.index, tide.data_tsize, tide.data_offset, tide.data_size,
-- tide.tcount, tide.tindex, tide.text, tide.payload; what a receiver drops is expert info.

local kHeaderBytes = 28
local kFragmentBytes = 20480
local kDatagramBytes = 20512
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
}
tide.experts = {}
for _, info in pairs(experts) do table.insert(tide.experts, info) end

tide.prefs.port = Pref.uint("UDP port", 0, "Decode every datagram on this UDP port as TIDE (0: none)")
tide.prefs.other_ports = Pref.bool("Look on other protocols' ports", true,
                                   "Also recognise TIDE datagrams on UDP ports Wireshark gives to another protocol")

local function read_header(tvb)
  local header = {}
  for i, name in ipairs(names) do header[name] = tvb(4 * (i - 1), 4):le_int() end
  return header
end

local function fragments_of(total)
  return total == 0 and 1 or math.ceil(total / kFragmentBytes)
end

-- The problems of a datagram of `length` bytes, as {expert, text} pairs in the order a
-- receiver meets them: errors for what it drops, `unusual` for what it takes although no
-- sender writes it. None at all is the mark of a datagram of this format.
local function problems_of(header, length)
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

-- The text's bytes: UTF-16LE units up to the first zero unit, within what arrived and data_size.
local function text_bytes(tvb, header)
  local room = math.min(tvb:len() - kHeaderBytes, math.max(header.data_size, 0))
  room = room - room % 2
  if room <= 0 then return 0 end
  local units = tvb:raw(kHeaderBytes, room)
  for at = 1, room - 1, 2 do
    if units:byte(at) == 0 and units:byte(at + 1) == 0 then return at - 1 end
  end
  return room
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
  if header.data_type == kText then
    local bytes = text_bytes(tvb, header)
    local item = root:add_packet_field(text_field, tvb(kHeaderBytes, bytes), ENC_UTF_16 + ENC_LITTLE_ENDIAN)
    local text = bytes > 0 and tvb(kHeaderBytes, bytes):le_ustring() or ""
    info = info .. string.format(": \"%s\"", #text > 60 and text:sub(1, 57) .. "..." or text)
    item:set_text(string.format("text (%d units): %s", bytes / 2, text))
  elseif header.data_type == kBinary then
    local bytes = math.min(tvb:len() - kHeaderBytes, math.max(header.data_size, 0))
    if bytes > 0 then root:add(payload_field, tvb(kHeaderBytes, bytes)) end
    info = info .. string.format(", %d bytes at %d of %d", header.data_size, header.data_offset, header.data_tsize)
  end
  root:append_text(string.format(", %s", info))
  local found = problems_of(header, length)
  for _, problem in ipairs(found) do root:add_proto_expert_info(problem[1], problem[2]) end
  if #found > 0 then info = info .. " [" .. found[1][2] .. "]" end
  pinfo.cols.info = info
  return tvb:len()
end

local function looks_like_ours(tvb)
  if tvb:len() < kHeaderBytes or tvb:reported_length_remaining() > kDatagramBytes then return false end
  return #problems_of(read_header(tvb), tvb:reported_length_remaining()) == 0
end

tide.dissector = dissect
tide:register_heuristic("udp", function(tvb, pinfo, tree)
  if not looks_like_ours(tvb) then return false end
  dissect(tvb, pinfo, tree)
  return true
end)

local udp_ports = DissectorTable.get("udp.port")
udp_ports:add_for_decode_as(tide)

-- Wireshark tries a port's own protocol before any heuristic, and a protocol such as RX
-- on 7001 claims whatever comes. On such ports a stand-in looks first and hands what is
-- not ours to the port's protocol.
local shared = Proto("tide_shared_port", "TIDE or the port's own protocol")
local owners = {}
shared.dissector = function(tvb, pinfo, tree)
  if looks_like_ours(tvb) then return dissect(tvb, pinfo, tree) end
  local owner = owners[pinfo.match_uint]
  return owner and owner:call(tvb, pinfo, tree) or 0
end
for port = 1, 65535 do owners[port] = udp_ports:get_dissector(port) end

-- Only what changed is touched, so that a Decode As on another port stays as it was.
local sharing, forced_port = false, 0
local function apply_preferences()
  if forced_port ~= 0 then
    local owner = owners[forced_port]
    if owner then udp_ports:add(forced_port, sharing and shared or owner) else udp_ports:remove(forced_port, tide) end
  end
  if tide.prefs.other_ports ~= sharing then
    sharing = tide.prefs.other_ports
    for port, owner in pairs(owners) do udp_ports:add(port, sharing and shared or owner) end
  end
  forced_port = tide.prefs.port
  if forced_port ~= 0 then udp_ports:add(forced_port, tide) end
end
tide.prefs_changed = apply_preferences
apply_preferences()
