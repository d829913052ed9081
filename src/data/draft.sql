-- draft.dat: the station's roster, pause symbols, time announcements and stored queries.
-- The build and the tests create a new database from this script; an existing file is never touched.
-- Dates are "yyyy-mm-dd" texts; the CHECKs accept only real calendar dates (2023-02-29 is refused).
-- Yes/no columns hold 0 or 1.
-- user_version 2 added the days off (holiday), the lunar birthdays (birthday.lunar) and the stored
-- queries that follow both; the station brings an older file up to it when it starts.

PRAGMA user_version = 2;

-- The roster. lunar 1: the birthday is kept in the Chinese calendar (农历), on the lunar month and day
-- of birth; 0 or NULL (a row written by a tool that does not know the column): the Gregorian one.
CREATE TABLE birthday (
    id       INTEGER PRIMARY KEY AUTOINCREMENT,
    emp_name TEXT,
    birthday TEXT CHECK (birthday IS NULL OR date(julianday(birthday)) IS birthday),
    dept     TEXT,
    remark1  TEXT,
    indate   TEXT CHECK (indate IS NULL OR date(julianday(indate)) IS indate),
    -- The person's own reading of the name in pinyin with tone numbers ("shan4 xiong2 xin4"); NULL
    -- when the lexicon and the voice already read the name right.
    pinyin   TEXT,
    lunar    INTEGER DEFAULT 0 CHECK (lunar IS NULL OR lunar IN (0, 1))
);
-- The stored queries look people up by the "mm-dd" part of the birthday.
CREATE INDEX birthday_month_day ON birthday (substr(birthday, 6, 5));
CREATE INDEX birthday_indate ON birthday (indate);
-- The few people with a lunar birthday, found without reading the whole roster.
CREATE INDEX birthday_lunar ON birthday (lunar) WHERE lunar = 1;

-- The company's calendar: days off (休, no broadcast) and working days (班, a broadcast even on a
-- weekday whose box is not ticked), one row a day, with the name of the holiday.
CREATE TABLE holiday (
    day  TEXT PRIMARY KEY CHECK (length(day) = 10 AND date(julianday(day)) IS day),
    kind TEXT NOT NULL CHECK (kind IN ('休', '班')),
    name TEXT NOT NULL DEFAULT ''
);

CREATE TABLE delaytime (
    id        INTEGER PRIMARY KEY AUTOINCREMENT,
    name      TEXT,
    descript  TEXT,
    delaytime INTEGER NOT NULL DEFAULT 0,
    candelete INTEGER NOT NULL DEFAULT 1 CHECK (candelete IN (0, 1))
);

CREATE TABLE telltime (
    id      INTEGER PRIMARY KEY,
    stime   TEXT NOT NULL CHECK (length(stime) = 8 AND time(stime) IS stime),
    text    TEXT,
    speaker TEXT,
    isplay  INTEGER NOT NULL DEFAULT 0 CHECK (isplay IN (0, 1))
);

CREATE TABLE history (
    id       INTEGER PRIMARY KEY AUTOINCREMENT,
    filename TEXT,
    opendate TEXT
);

CREATE TABLE draft (
    id      INTEGER PRIMARY KEY AUTOINCREMENT,
    name    TEXT,
    orderno INTEGER,
    memory  TEXT
);

-- The stored queries' SQL, run by name with the bound values :p1 and :p2 and today's date from the
-- program's clock (the SQL function today(), "yyyy-mm-dd").
--   qry_month_day(:p1 month-day tokens "mm-dd" separated by blanks, :p2 joining-days threshold)
--   qry_month(:p1 month "01".."12", :p2 joining-days threshold)
-- Both return emp_name, indate, birthday, dept, age, then id, lunar and celebrated (the day,
-- "yyyy-mm-dd", on which the person celebrates). A token stands for its day nearest to today, a
-- month for the month nearest to today. A person is listed on the day they celebrate: the month
-- and day of birth; born on 29 February, in a common year on the day birthday_between() names (28
-- February, or 1 March as the station is set); with a lunar birthday, on the Gregorian day of the
-- lunar month and day of birth. A person is listed when joined at least the threshold number of
-- days ago (a threshold that is not a whole number counts as 0; a person without a date of joining
-- only when the threshold is 0 or less). age is the age reached on that day (in lunar years for a
-- lunar birthday). qry_month_day lists in the order of the tokens, qry_month by day; then by date
-- of joining (missing first), then by id. The calendar gives the connection nearest_day(),
-- nearest_month(), birthday_between() and lunar_age().
CREATE TABLE stored_query (
    name TEXT PRIMARY KEY,
    sql  TEXT NOT NULL
);
INSERT INTO stored_query (name, sql) VALUES
('qry_month_day',
'WITH RECURSIVE
args(list, threshold_text, today) AS MATERIALIZED (
    SELECT ltrim(coalesce(:p1, '''')) || '' '', trim(coalesce(:p2, '''')), today()
),
params(today, jtoday, threshold) AS MATERIALIZED (
    SELECT today, julianday(today),
           CASE WHEN threshold_text GLOB ''[0-9]*'' AND threshold_text NOT GLOB ''*[^0-9]*''
                    THEN CAST(threshold_text AS INTEGER)
                WHEN threshold_text GLOB ''-[0-9]*'' AND substr(threshold_text, 2) NOT GLOB ''*[^0-9]*''
                    THEN CAST(threshold_text AS INTEGER)
                ELSE 0 END
    FROM args
),
split(token, pos, rest) AS (
    SELECT '''', 0, list FROM args
    UNION ALL
    SELECT substr(rest, 1, instr(rest, '' '') - 1), pos + 1, ltrim(substr(rest, instr(rest, '' '') + 1))
    FROM split WHERE rest <> ''''
),
tokens(token, pos, day) AS MATERIALIZED (
    SELECT s.token, min(s.pos), nearest_day(s.token, p.today)
    FROM split s CROSS JOIN params p WHERE s.token <> '''' GROUP BY s.token
),
lunar_people AS MATERIALIZED (
    SELECT id, emp_name, indate, birthday, dept FROM birthday WHERE lunar = 1
),
hits(id, emp_name, indate, birthday, dept, lunar, pos, day) AS MATERIALIZED (
    SELECT b.id, b.emp_name, b.indate, b.birthday, b.dept, 0, t.pos, t.day
    FROM tokens t JOIN birthday b ON substr(b.birthday, 6, 5) = t.token
    WHERE b.lunar IS NOT 1
    UNION ALL
    SELECT b.id, b.emp_name, b.indate, b.birthday, b.dept, 0, t.pos, t.day
    FROM tokens t JOIN birthday b ON substr(b.birthday, 6, 5) = ''02-29''
    WHERE b.lunar IS NOT 1 AND t.token <> ''02-29'' AND birthday_between(b.birthday, 0, t.day, t.day) IS NOT NULL
    UNION ALL
    SELECT b.id, b.emp_name, b.indate, b.birthday, b.dept, 1, t.pos, t.day
    FROM tokens t CROSS JOIN lunar_people b
    WHERE birthday_between(b.birthday, 1, t.day, t.day) IS NOT NULL
)
SELECT h.emp_name, h.indate, h.birthday, h.dept,
       CASE WHEN h.lunar = 1 THEN lunar_age(h.birthday, h.day)
            ELSE CAST(substr(h.day, 1, 4) AS INTEGER) - CAST(substr(h.birthday, 1, 4) AS INTEGER) END AS age,
       h.id, h.lunar, h.day AS celebrated
FROM hits h CROSS JOIN params p
WHERE (h.indate IS NULL AND p.threshold <= 0) OR p.jtoday - julianday(h.indate) >= p.threshold
ORDER BY h.pos, h.indate, h.id'),
('qry_month',
'WITH
args(month_text, threshold_text, today) AS MATERIALIZED (
    SELECT trim(coalesce(:p1, '''')), trim(coalesce(:p2, '''')), today()
),
months(month, today, threshold_text) AS MATERIALIZED (
    SELECT CASE WHEN month_text GLOB ''[1-9]'' THEN ''0'' || month_text ELSE month_text END, today, threshold_text
    FROM args
),
params(month, jtoday, threshold, first, last) AS MATERIALIZED (
    SELECT month, julianday(today),
           CASE WHEN threshold_text GLOB ''[0-9]*'' AND threshold_text NOT GLOB ''*[^0-9]*''
                    THEN CAST(threshold_text AS INTEGER)
                WHEN threshold_text GLOB ''-[0-9]*'' AND substr(threshold_text, 2) NOT GLOB ''*[^0-9]*''
                    THEN CAST(threshold_text AS INTEGER)
                ELSE 0 END,
           nearest_month(month, today), date(nearest_month(month, today), ''+1 month'', ''-1 day'')
    FROM months
),
lunar_people AS MATERIALIZED (
    SELECT id, emp_name, indate, birthday, dept FROM birthday WHERE lunar = 1
),
hits(id, emp_name, indate, birthday, dept, lunar, day) AS MATERIALIZED (
    SELECT b.id, b.emp_name, b.indate, b.birthday, b.dept, 0, substr(p.first, 1, 5) || substr(b.birthday, 6, 5)
    FROM params p
    JOIN birthday b ON substr(b.birthday, 6, 5) >= p.month || ''-'' AND substr(b.birthday, 6, 5) < p.month || ''.''
    WHERE b.lunar IS NOT 1 AND substr(b.birthday, 6, 5) <> ''02-29''
    UNION ALL
    SELECT * FROM (
        SELECT b.id, b.emp_name, b.indate, b.birthday, b.dept, 0, birthday_between(b.birthday, 0, p.first, p.last) AS day
        FROM params p JOIN birthday b ON substr(b.birthday, 6, 5) = ''02-29''
        WHERE b.lunar IS NOT 1
    ) WHERE day IS NOT NULL
    UNION ALL
    SELECT * FROM (
        SELECT b.id, b.emp_name, b.indate, b.birthday, b.dept, 1, birthday_between(b.birthday, 1, p.first, p.last) AS day
        FROM params p CROSS JOIN lunar_people b
    ) WHERE day IS NOT NULL
)
SELECT h.emp_name, h.indate, h.birthday, h.dept,
       CASE WHEN h.lunar = 1 THEN lunar_age(h.birthday, h.day)
            ELSE CAST(substr(h.day, 1, 4) AS INTEGER) - CAST(substr(h.birthday, 1, 4) AS INTEGER) END AS age,
       h.id, h.lunar, h.day AS celebrated
FROM hits h CROSS JOIN params p
WHERE (h.indate IS NULL AND p.threshold <= 0) OR p.jtoday - julianday(h.indate) >= p.threshold
ORDER BY h.day, h.indate, h.id');

-- The pronunciation lexicon: a word and its reading in pinyin with tone numbers, handed to the voice
-- that reads latin as pinyin instead of the characters it would misread. A surname row (surname = 1)
-- is read so only at the start of a roster name (曾 is zeng1 in 曾国藩, but ceng2 in 曾经); any other
-- row wherever the word stands.
CREATE TABLE lexicon (
    id      INTEGER PRIMARY KEY AUTOINCREMENT,
    word    TEXT NOT NULL CHECK (length(trim(word)) > 0),
    pinyin  TEXT NOT NULL CHECK (length(trim(pinyin)) > 0),
    surname INTEGER NOT NULL DEFAULT 0 CHECK (surname IN (0, 1)),
    UNIQUE (word, surname)
);
-- Surnames whose reading differs from the character's usual one, then common words the voice misreads.
INSERT INTO lexicon (word, pinyin, surname) VALUES
    ('曾', 'zeng1', 1),
    ('单', 'shan4', 1),
    ('解', 'xie4', 1),
    ('仇', 'qiu2', 1),
    ('朴', 'piao2', 1),
    ('查', 'zha1', 1),
    ('乐', 'yue4', 1),
    ('覃', 'qin2', 1),
    ('区', 'ou1', 1),
    ('盖', 'ge3', 1),
    ('华', 'hua4', 1),
    ('缪', 'miao4', 1),
    ('翟', 'zhai2', 1),
    ('褚', 'chu3', 1),
    ('种', 'chong2', 1),
    ('尉迟', 'yu4 chi2', 1),
    ('万俟', 'mo4 qi2', 1),
    ('召', 'shao4', 1),
    ('繁', 'po2', 1),
    ('员', 'yun4', 1),
    ('过', 'guo1', 1),
    ('粘', 'nian2', 1),
    ('佴', 'nai4', 1),
    ('蕃', 'pi2', 1),
    ('银行', 'yin2 hang2', 0),
    ('银行卡', 'yin2 hang2 ka3', 0),
    ('行长', 'hang2 zhang3', 0),
    ('行业', 'hang2 ye4', 0),
    ('同行', 'tong2 hang2', 0),
    ('重庆', 'chong2 qing4', 0),
    ('重新', 'chong2 xin1', 0),
    ('重复', 'chong2 fu4', 0),
    ('长大', 'zhang3 da4', 0),
    ('成长', 'cheng2 zhang3', 0),
    ('生长', 'sheng1 zhang3', 0),
    ('增长', 'zeng1 zhang3', 0),
    ('长辈', 'zhang3 bei4', 0),
    ('家长', 'jia1 zhang3', 0),
    ('校长', 'xiao4 zhang3', 0),
    ('部长', 'bu4 zhang3', 0),
    ('董事长', 'dong3 shi4 zhang3', 0),
    ('厂长', 'chang3 zhang3', 0),
    ('组长', 'zu3 zhang3', 0),
    ('班长', 'ban1 zhang3', 0),
    ('科长', 'ke1 zhang3', 0),
    ('处长', 'chu4 zhang3', 0),
    ('局长', 'ju2 zhang3', 0),
    ('市长', 'shi4 zhang3', 0),
    ('院长', 'yuan4 zhang3', 0),
    ('会长', 'hui4 zhang3', 0),
    ('社长', 'she4 zhang3', 0),
    ('团长', 'tuan2 zhang3', 0),
    ('队长', 'dui4 zhang3', 0),
    ('所长', 'suo3 zhang3', 0),
    ('站长', 'zhan4 zhang3', 0),
    ('店长', 'dian4 zhang3', 0),
    ('音乐', 'yin1 yue4', 0),
    ('音乐会', 'yin1 yue4 hui4', 0),
    ('欢乐', 'huan1 le4', 0),
    ('欢迎', 'huan1 ying2', 0),
    ('欢度', 'huan1 du4', 0),
    ('欢聚', 'huan1 ju4', 0),
    ('欢庆', 'huan1 qing4', 0),
    ('欢喜', 'huan1 xi3', 0),
    ('恭喜', 'gong1 xi3', 0),
    ('睡觉', 'shui4 jiao4', 0),
    ('得到', 'de2 dao4', 0),
    ('了解', 'liao3 jie3', 0),
    ('作为', 'zuo4 wei2', 0),
    ('成为', 'cheng2 wei2', 0),
    ('行为', 'xing2 wei2', 0),
    ('的确', 'di2 que4', 0),
    ('目的', 'mu4 di4', 0),
    ('大夫', 'dai4 fu5', 0),
    ('理发', 'li3 fa4', 0),
    ('空调', 'kong1 tiao2', 0),
    ('调整', 'tiao2 zheng3', 0),
    ('会计', 'kuai4 ji4', 0),
    ('人参', 'ren2 shen1', 0),
    ('出差', 'chu1 chai1', 0),
    ('角色', 'jue2 se4', 0),
    ('爱好', 'ai4 hao4', 0),
    ('好奇', 'hao4 qi2', 0),
    ('种植', 'zhong4 zhi2', 0),
    ('处理', 'chu3 li3', 0),
    ('地方', 'di4 fang5', 0),
    ('地区', 'di4 qu1', 0),
    ('便宜', 'pian2 yi5', 0),
    ('中奖', 'zhong4 jiang3', 0),
    ('假期', 'jia4 qi1', 0),
    ('放假', 'fang4 jia4', 0),
    ('首都', 'shou3 du1', 0),
    ('成都', 'cheng2 du1', 0),
    ('厦门', 'xia4 men2', 0),
    ('财务', 'cai2 wu4', 0),
    ('着急', 'zhao2 ji2', 0),
    ('睡着', 'shui4 zhao2', 0),
    ('传记', 'zhuan4 ji4', 0),
    ('朝气', 'zhao1 qi4', 0),
    ('适当', 'shi4 dang4', 0),
    ('上当', 'shang4 dang4', 0),
    ('尽量', 'jin3 liang4', 0),
    ('还款', 'huan2 kuan3', 0);

-- Pause symbols: sentence ends pause longer than commas.
INSERT INTO delaytime (name, descript, delaytime, candelete) VALUES
    ('句号', '。', 800, 1),
    ('问号', '？', 800, 1),
    ('感叹号', '！', 800, 1),
    ('逗号', '，', 350, 1),
    ('顿号', '、', 250, 1),
    ('分号', '；', 500, 1),
    ('冒号', '：', 400, 1),
    ('省略号', '…', 600, 1),
    ('英文句号', '.', 700, 1),
    ('英文问号', '?', 700, 1),
    ('英文感叹号', '!', 700, 1),
    ('英文逗号', ',', 300, 1),
    ('英文分号', ';', 450, 1),
    ('英文冒号', ':', 350, 1);

-- Every full and half hour; the full hours of the working day (08:00 to 18:00) are announced.
INSERT INTO telltime (id, stime, text, speaker, isplay) VALUES
    (1, '00:00:00', '00:00 整点报时', '', 0),
    (2, '00:30:00', '00:30 半点报时', '', 0),
    (3, '01:00:00', '01:00 整点报时', '', 0),
    (4, '01:30:00', '01:30 半点报时', '', 0),
    (5, '02:00:00', '02:00 整点报时', '', 0),
    (6, '02:30:00', '02:30 半点报时', '', 0),
    (7, '03:00:00', '03:00 整点报时', '', 0),
    (8, '03:30:00', '03:30 半点报时', '', 0),
    (9, '04:00:00', '04:00 整点报时', '', 0),
    (10, '04:30:00', '04:30 半点报时', '', 0),
    (11, '05:00:00', '05:00 整点报时', '', 0),
    (12, '05:30:00', '05:30 半点报时', '', 0),
    (13, '06:00:00', '06:00 整点报时', '', 0),
    (14, '06:30:00', '06:30 半点报时', '', 0),
    (15, '07:00:00', '07:00 整点报时', '', 0),
    (16, '07:30:00', '07:30 半点报时', '', 0),
    (17, '08:00:00', '08:00 整点报时', '', 1),
    (18, '08:30:00', '08:30 半点报时', '', 0),
    (19, '09:00:00', '09:00 整点报时', '', 1),
    (20, '09:30:00', '09:30 半点报时', '', 0),
    (21, '10:00:00', '10:00 整点报时', '', 1),
    (22, '10:30:00', '10:30 半点报时', '', 0),
    (23, '11:00:00', '11:00 整点报时', '', 1),
    (24, '11:30:00', '11:30 半点报时', '', 0),
    (25, '12:00:00', '12:00 整点报时', '', 1),
    (26, '12:30:00', '12:30 半点报时', '', 0),
    (27, '13:00:00', '13:00 整点报时', '', 1),
    (28, '13:30:00', '13:30 半点报时', '', 0),
    (29, '14:00:00', '14:00 整点报时', '', 1),
    (30, '14:30:00', '14:30 半点报时', '', 0),
    (31, '15:00:00', '15:00 整点报时', '', 1),
    (32, '15:30:00', '15:30 半点报时', '', 0),
    (33, '16:00:00', '16:00 整点报时', '', 1),
    (34, '16:30:00', '16:30 半点报时', '', 0),
    (35, '17:00:00', '17:00 整点报时', '', 1),
    (36, '17:30:00', '17:30 半点报时', '', 0),
    (37, '18:00:00', '18:00 整点报时', '', 1),
    (38, '18:30:00', '18:30 半点报时', '', 0),
    (39, '19:00:00', '19:00 整点报时', '', 0),
    (40, '19:30:00', '19:30 半点报时', '', 0),
    (41, '20:00:00', '20:00 整点报时', '', 0),
    (42, '20:30:00', '20:30 半点报时', '', 0),
    (43, '21:00:00', '21:00 整点报时', '', 0),
    (44, '21:30:00', '21:30 半点报时', '', 0),
    (45, '22:00:00', '22:00 整点报时', '', 0),
    (46, '22:30:00', '22:30 半点报时', '', 0),
    (47, '23:00:00', '23:00 整点报时', '', 0),
    (48, '23:30:00', '23:30 半点报时', '', 0);
