-- SPDX-License-Identifier: GPL-3.0-or-later
-- Wireshark dissector for the PV data logger protocol spoken by Tarnwick.
--
--   UDP 8000  commands and answers: ESC (0x1B), ASCII payload, the payload's
--             CRC-16/MODBUS as four upper-case hex digits (low byte first), ENQ (0x05)
--   UDP 23    discovery: the probe FF 04 03 FB, and answers ESC serial "#" version ENQ
--
-- Requests begin with their command code; answers begin with "R" and do not repeat the
-- code, so an answer is decoded by the last request sent to the same logger before it.
-- Captures with other ports: tshark -d udp.port==N,tarnwick (or Decode As... in the GUI).

local ESC = 0x1B
local ENQ = 0x05

local logger = Proto("tarnwick", "Tarnwick logger protocol")
local discovery = Proto("tarnwick_discovery", "Tarnwick logger discovery")

local f = {
    kind = ProtoField.string("tarnwick.kind", "Kind"),
    esc = ProtoField.uint8("tarnwick.esc", "Start (ESC)", base.HEX),
    payload = ProtoField.string("tarnwick.payload", "Payload"),
    enq = ProtoField.uint8("tarnwick.enq", "End (ENQ)", base.HEX),
    command = ProtoField.string("tarnwick.command", "Command code"),
    command_name = ProtoField.string("tarnwick.command.name", "Command"),
    answer_to = ProtoField.framenum("tarnwick.answer_to", "Answer to the request in frame"),
    crc = ProtoField.string("tarnwick.crc", "CRC text"),
    crc_computed = ProtoField.string("tarnwick.crc.computed", "CRC text computed"),
    crc_status = ProtoField.string("tarnwick.crc.status", "CRC"),
    stray = ProtoField.bytes("tarnwick.stray", "Bytes outside any frame"),
    ip_address = ProtoField.string("tarnwick.ip.address", "IP address"),
    ip_mask = ProtoField.string("tarnwick.ip.mask", "Subnet mask"),
    ip_gateway = ProtoField.string("tarnwick.ip.gateway", "Default gateway"),
    ip_port = ProtoField.string("tarnwick.ip.port", "Port"),
    server_address = ProtoField.string("tarnwick.server.address", "Server address"),
    server_port = ProtoField.string("tarnwick.server.port", "Server port"),
    mac = ProtoField.string("tarnwick.mac", "MAC address"),
    apn_name = ProtoField.string("tarnwick.apn.name", "APN"),
    apn_user = ProtoField.string("tarnwick.apn.user", "APN user"),
    apn_password = ProtoField.string("tarnwick.apn.password", "APN password"),
    pin = ProtoField.string("tarnwick.pin", "SIM PIN"),
    operator = ProtoField.string("tarnwick.operator", "Telecom operator"),
    signal = ProtoField.string("tarnwick.signal", "Signal quality"),
    fec_minutes = ProtoField.string("tarnwick.fec.minutes", "Front-end computer time (min)"),
    device_count = ProtoField.uint8("tarnwick.device.count", "Device count"),
    sub_command = ProtoField.string("tarnwick.sub", "Sub-command"),
    sub_crc_status = ProtoField.string("tarnwick.sub.crc.status", "Sub-command CRC"),
    device_serial = ProtoField.string("tarnwick.device.serial", "Device serial number"),
    device_address = ProtoField.uint8("tarnwick.device.address", "Device bus address"),
    device_type = ProtoField.string("tarnwick.device.type", "Device type code"),
    device_info = ProtoField.string("tarnwick.device.info", "Append info"),
    sys_start = ProtoField.string("tarnwick.sys.start", "Log start time"),
    sys_stop = ProtoField.string("tarnwick.sys.stop", "Log stop time"),
    sys_data = ProtoField.uint16("tarnwick.sys.data_interval", "Data interval (s)"),
    sys_heart = ProtoField.uint8("tarnwick.sys.heartbeat", "Heartbeat interval (min)"),
    sys_retries = ProtoField.uint8("tarnwick.sys.retries", "Send retries"),
    sys_wait = ProtoField.string("tarnwick.sys.wait_response", "Wait response after send"),
    sys_reconnect = ProtoField.string("tarnwick.sys.reconnect", "Reconnect"),
    sys_transport = ProtoField.string("tarnwick.sys.transport", "Transport"),
    sys_gprs = ProtoField.string("tarnwick.sys.gprs", "GPRS"),
}
logger.fields = f

local d = {
    kind = ProtoField.string("tarnwick_discovery.kind", "Kind"),
    serial = ProtoField.string("tarnwick_discovery.serial", "Serial number"),
    version = ProtoField.string("tarnwick_discovery.version", "Version"),
}
discovery.fields = d

local crc_bad = ProtoExpert.new("tarnwick.crc.bad", "CRC does not match the payload",
                                expert.group.CHECKSUM, expert.severity.ERROR)
local frame_short = ProtoExpert.new("tarnwick.frame.short", "Frame without its ENQ",
                                    expert.group.MALFORMED, expert.severity.WARN)
logger.experts = { crc_bad, frame_short }

local COMMANDS = {
    ER = "Read IP configuration", EW = "Write IP configuration",
    GW = "Write GPRS upstream server", GR = "Read GPRS upstream server",
    RW = "Write Ethernet upstream server", RR = "Read Ethernet upstream server",
    R3 = "Read data server", R4 = "Write data server",
    MR = "Read MAC address",
    AW = "Write APN", AR = "Read APN",
    PW = "Set SIM PIN", PC = "Clear SIM PIN",
    CW = "Write telecom operator", CR = "Read telecom operator",
    IF = "Read signal quality",
    QW = "Write front-end computer", QR = "Read front-end computer",
    DA = "Add device", AA = "Append info of a device",
    DN = "Read device count", DR = "Read device", AB = "Read append info of a device",
    DE = "Delete all devices",
    SR = "Read system parameters", SW = "Write system parameters",
    RC = "Compound request",
}

-- Codes that begin with "R" like every answer: a frame from the tool with one of them is
-- a request, a frame from a logger an answer.
local R_CODES = { R3 = true, R4 = true, RC = true, RR = true, RW = true }

-- CRC-16/MODBUS of a Lua string, as the frame writes it: low byte first, upper-case hex.
local function crc_text(text)
    local crc = 0xFFFF
    for i = 1, #text do
        crc = bit32.bxor(crc, text:byte(i))
        for _ = 1, 8 do
            if bit32.band(crc, 1) == 1 then
                crc = bit32.bxor(bit32.rshift(crc, 1), 0xA001)
            else
                crc = bit32.rshift(crc, 1)
            end
        end
    end
    return string.format("%02X%02X", bit32.band(crc, 0xFF), bit32.rshift(crc, 8))
end

local function split(text, separator)
    local items = {}
    local start = 1
    while true do
        local at = text:find(separator, start, true)
        if not at then
            items[#items + 1] = text:sub(start)
            return items
        end
        items[#items + 1] = text:sub(start, at - 1)
        start = at + #separator
    end
end

local function unquote(text)
    return (text:gsub('^%s*"', ""):gsub('"%s*$', ""))
end

local function trim(text)
    return (text:gsub("^[%c ]+", ""):gsub("[%c ]+$", ""))
end

-- What is known across the capture: which hosts are the tool (they sent a request that
-- no logger would send, or the discovery probe), the last request to each logger, and
-- for each answer frame the request it answers.
local tool_hosts = {}
local pending = {}
local answers = {}

function logger.init()
    tool_hosts = {}
    pending = {}
    answers = {}
end

function discovery.init()
    tool_hosts = {}
end

local function add_fields(tree, range, fields_and_values)
    for _, pair in ipairs(fields_and_values) do
        if pair[2] ~= nil then
            tree:add(pair[1], range, pair[2])
        end
    end
end

local function decode_block(tree, range, block)
    if #block < 20 then
        return
    end
    local flags = tonumber(block:sub(19, 20), 16) or 0
    add_fields(tree, range, {
        { f.sys_start, block:sub(1, 2) .. ":" .. block:sub(3, 4) },
        { f.sys_stop, block:sub(5, 6) .. ":" .. block:sub(7, 8) },
        { f.sys_data, tonumber(block:sub(9, 12), 16) },
        { f.sys_heart, tonumber(block:sub(13, 14), 16) },
        { f.sys_retries, tonumber(block:sub(15, 16), 16) },
        { f.sys_wait, block:sub(17, 18) == "00" and "No" or "Yes" },
        { f.sys_reconnect, bit32.btest(flags, 0x40) and "Reconnect" or "unReconnect" },
        { f.sys_transport, bit32.btest(flags, 0x20) and "TCP" or "UDP" },
        { f.sys_gprs, bit32.btest(flags, 0x10) and "GPRS On" or "GPRS Off" },
    })
end

local function decode_device_record(tree, range, body)
    -- serial (16), type prefix, "0", address (2 hex), type code
    local prefix = body:sub(17, 17)
    add_fields(tree, range, {
        { f.device_serial, trim(body:sub(1, 16)) },
        { f.device_address, tonumber(body:sub(19, 20), 16) },
        { f.device_type, (prefix == "0" and "" or prefix) .. body:sub(21, 22) },
    })
end

local function decode_compound(tree, range, items_text)
    for _, item in ipairs(split(items_text, "#")) do
        if #item >= 6 then
            local sub = item:sub(1, -5)
            local sub_tree = tree:add(f.sub_command, range, sub)
            sub_tree:add(f.sub_crc_status, range,
                         crc_text(sub) == item:sub(-4) and "good" or "bad")
            local code = sub:sub(1, 2)
            if code == "DA" then
                decode_device_record(sub_tree, range, sub:sub(3))
            elseif code == "AA" then
                sub_tree:add(f.device_info, range, trim(sub:sub(3, 62)) .. "#" .. trim(sub:sub(63, 86)))
            end
        end
    end
end

local function decode_request(tree, range, payload, code)
    local rest = payload:sub(3)
    if code == "EW" then
        local items = split(rest, ",")
        add_fields(tree, range, { { f.ip_address, items[1] }, { f.ip_mask, items[2] },
                                  { f.ip_gateway, items[3] }, { f.ip_port, items[4] } })
    elseif code == "GW" or code == "RW" or code == "R4" then
        local items = split(rest, ",")
        add_fields(tree, range, { { f.server_address, items[1] }, { f.server_port, items[2] } })
    elseif code == "AW" then
        local items = split(rest, ",")
        add_fields(tree, range, { { f.apn_name, items[1] and unquote(items[1]) },
                                  { f.apn_user, items[2] and unquote(items[2]) },
                                  { f.apn_password, items[3] and unquote(items[3]) } })
    elseif code == "PW" then
        tree:add(f.pin, range, rest)
    elseif code == "CW" then
        tree:add(f.operator, range, unquote(rest))
    elseif code == "QW" then
        local items = split(rest, ",")
        add_fields(tree, range, { { f.server_address, items[1] }, { f.server_port, items[2] },
                                  { f.fec_minutes, items[3] } })
    elseif code == "DA" then
        decode_device_record(tree, range, rest)
    elseif code == "SW" then
        decode_block(tree, range, rest)
    elseif code == "RC" then
        decode_compound(tree, range, rest)
    end
end

local function decode_answer(tree, range, payload, code)
    local rest = payload:sub(2)
    if code == "ER" then
        local items = split(rest, ",")
        add_fields(tree, range, { { f.ip_address, items[1] }, { f.ip_mask, items[2] },
                                  { f.ip_gateway, items[3] } })
    elseif code == "GR" or code == "RR" or code == "R3" then
        local items = split(rest, ",")
        add_fields(tree, range, { { f.server_address, items[1] }, { f.server_port, items[2] } })
    elseif code == "MR" then
        tree:add(f.mac, range, rest)
    elseif code == "AR" then
        local items = split(rest, ",")
        add_fields(tree, range, { { f.apn_name, items[1] and unquote(items[1]) },
                                  { f.apn_user, items[2] and unquote(items[2]) },
                                  { f.apn_password, items[3] and unquote(items[3]) } })
    elseif code == "CR" then
        tree:add(f.operator, range, unquote(rest))
    elseif code == "IF" then
        tree:add(f.signal, range, payload:sub(14, 15))
    elseif code == "QR" then
        local items = split(rest, ",")
        add_fields(tree, range, { { f.server_address, items[1] }, { f.server_port, items[2] },
                                  { f.fec_minutes, items[3] } })
    elseif code == "DN" then
        add_fields(tree, range, { { f.device_count, tonumber(payload:sub(2, 3), 16) } })
    elseif code == "DR" and payload:sub(1, 2) == "RC" then
        -- "RC", the item count, then per device a record item ("D" + record body) and an
        -- append-info item ("A" + 60 + 24 bytes), each closed by "#".
        local items = split(payload:sub(1, -2), "#")
        for index = 2, #items, 2 do
            local device = tree:add(f.sub_command, range, items[index])
            decode_device_record(device, range, items[index]:sub(2))
            local info = items[index + 1]
            if info then
                device:add(f.device_info, range,
                           trim(info:sub(2, 61)) .. "#" .. trim(info:sub(62, 85)))
            end
        end
    elseif code == "SR" then
        decode_block(tree, range, rest)
    end
end

local function endpoint_key(address, port)
    return tostring(address) .. ":" .. tostring(port)
end

-- Sub-commands that open a compound request ("RC" + sub-commands); the device read
-- answer also begins with "RC", but with its item count.
local COMPOUND_CODES = { DA = true, AA = true, DR = true, AB = true }

-- Whether the frame goes from the tool to a logger.
local function is_request(pinfo, payload)
    local code = payload:sub(1, 2)
    if payload:sub(1, 1) ~= "R" then
        return true
    end
    local from_tool = tool_hosts[tostring(pinfo.src)]
    local to_tool = tool_hosts[tostring(pinfo.dst)]
    if from_tool and not to_tool then
        return R_CODES[code] ~= nil
    end
    if to_tool and not from_tool then
        return false
    end
    -- Neither side known yet: the bare reads and compound requests are taken for requests.
    return payload == "R3" or payload == "RR"
        or (code == "RC" and COMPOUND_CODES[payload:sub(3, 4)] ~= nil)
end

local function dissect_frame(buffer, pinfo, tree, first, last)
    local range = buffer(first, last - first + 1)
    local frame = range:string()
    local payload = frame:sub(2, -6)
    local crc_field = frame:sub(-5, -2)
    local frame_tree = tree:add(logger, range)

    local request = is_request(pinfo, payload)
    local code
    if request then
        code = payload:sub(1, 2)
        tool_hosts[tostring(pinfo.src)] = true
        if code == "RC" then
            -- A compound request is named by its first sub-command.
            local inner = payload:sub(3, 4)
            if COMMANDS[inner] then
                code = inner
            end
        end
        if not pinfo.visited then
            pending[endpoint_key(pinfo.dst, pinfo.dst_port)] = { code = code, frame = pinfo.number }
        end
    else
        if not pinfo.visited then
            answers[pinfo.number] = pending[endpoint_key(pinfo.src, pinfo.src_port)]
        end
        local request_seen = answers[pinfo.number]
        code = request_seen and request_seen.code
        if request_seen then
            frame_tree:add(f.answer_to, range, request_seen.frame)
        end
    end

    frame_tree:add(f.kind, range, request and "request" or "answer")
    frame_tree:add(f.esc, buffer(first, 1))
    frame_tree:add(f.payload, buffer(first + 1, math.max(#payload, 0)), payload)
    if code and code ~= "" then
        frame_tree:add(f.command, range, code)
        frame_tree:add(f.command_name, range, COMMANDS[code] or "unknown")
    end
    local computed = crc_text(payload)
    frame_tree:add(f.crc, buffer(last - 4, 4), crc_field)
    frame_tree:add(f.crc_computed, buffer(last - 4, 4), computed)
    local good = computed == crc_field
    local status = frame_tree:add(f.crc_status, buffer(last - 4, 4), good and "good" or "bad")
    if not good then
        status:add_proto_expert_info(crc_bad)
    end
    frame_tree:add(f.enq, buffer(last, 1))
    frame_tree:append_text(string.format(": %s %s%s", request and "request" or "answer",
                                         code or "?", good and "" or " [CRC bad]"))

    if good and request then
        decode_request(frame_tree, range, payload, payload:sub(1, 2))
    elseif good and code then
        decode_answer(frame_tree, range, payload, code)
    end
    return (request and "→ " or "← ") .. (code or "R") .. (good and "" or " [CRC bad]")
end

function logger.dissector(buffer, pinfo, tree)
    local length = buffer:len()
    if length == 0 then
        return 0
    end
    pinfo.cols.protocol = "TARNWICK"
    local summaries = {}
    local at = 0
    while at < length do
        local esc
        for i = at, length - 1 do
            if buffer(i, 1):uint() == ESC then
                esc = i
                break
            end
        end
        if not esc then
            tree:add(f.stray, buffer(at, length - at))
            break
        end
        if esc > at then
            tree:add(f.stray, buffer(at, esc - at))
        end
        local enq
        for i = esc + 1, length - 1 do
            if buffer(i, 1):uint() == ENQ then
                enq = i
                break
            end
        end
        if not enq then
            local item = tree:add(logger, buffer(esc, length - esc))
            item:add_proto_expert_info(frame_short)
            summaries[#summaries + 1] = "frame without ENQ"
            break
        end
        if enq - esc + 1 >= 6 then
            summaries[#summaries + 1] = dissect_frame(buffer, pinfo, tree, esc, enq)
        else
            tree:add(f.stray, buffer(esc, enq - esc + 1))
        end
        at = enq + 1
    end
    pinfo.cols.info = table.concat(summaries, "; ")
    return length
end

function discovery.dissector(buffer, pinfo, tree)
    local length = buffer:len()
    if length == 0 then
        return 0
    end
    pinfo.cols.protocol = "TARNWICK-DISC"
    local subtree = tree:add(discovery, buffer())
    if length == 4 and buffer(0, 4):bytes():tohex() == "FF0403FB" then
        tool_hosts[tostring(pinfo.src)] = true
        subtree:add(d.kind, buffer(), "probe")
        pinfo.cols.info = "Search probe"
        return length
    end
    subtree:add(d.kind, buffer(), "answer")
    local infos = {}
    local text = buffer():raw()
    local start = 1
    while true do
        local esc = text:find("\27", start, true)
        if not esc then
            break
        end
        local enq = text:find("\5", esc + 1, true)
        if not enq then
            break
        end
        local body = text:sub(esc + 1, enq - 1)
        local hash = body:find("#", 1, true)
        local serial = hash and body:sub(1, hash - 1) or body
        local version = hash and body:sub(hash + 1) or ""
        local range = buffer(esc - 1, enq - esc + 1)
        subtree:add(d.serial, range, serial)
        subtree:add(d.version, range, version)
        infos[#infos + 1] = string.format("Logger %s, version %s", trim(serial), version)
        start = enq + 1
    end
    pinfo.cols.info = #infos > 0 and table.concat(infos, "; ") or "Discovery datagram"
    return length
end

local udp_port = DissectorTable.get("udp.port")
udp_port:add(8000, logger)
udp_port:add(23, discovery)
