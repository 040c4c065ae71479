#!/usr/bin/env python3
"""Writes standin/data/catalogue.json, the stand-in's product catalogue.

Run once; the result is committed. Every name and text is made up. The
random source is seeded, so running it again gives the same file.
"""
import json
import random
import sys
from pathlib import Path

rng = random.Random(20050726)

STORES = ["US", "CA", "UK", "DE", "FR", "JP"]

FIRST = {
    "en": ["Ada", "Milo", "Harriet", "Jonas", "Clara", "Owen", "Iris", "Felix", "Nora", "Silas", "Vera", "Rupert"],
    "de": ["Jürgen", "Käthe", "Björn", "Lena", "Matthäus", "Sören", "Grete", "Lukas"],
    "fr": ["Hélène", "François", "Zoé", "Théo", "Amélie", "Jérôme", "Cécile", "Noël"],
    "jp": ["佐藤", "鈴木", "高橋", "田中", "渡辺", "山本"],
}
LAST = {
    "en": ["Example", "Whitlock", "Brambleton", "Harcastle", "Penrose", "Quillfeather", "Marsh", "Lindqvist", "Okafor", "Delacroix"],
    "de": ["Müller", "Schäfer", "Großmann", "Köhler", "Weiß", "Brückner"],
    "fr": ["Lefèvre", "Dubois", "Garçon", "Mercier", "Bézier", "Rivière"],
    "jp": ["花子", "太郎", "美咲", "健一", "由美", "翔"],
}
LANG = {"US": "en", "CA": "en", "UK": "en", "DE": "de", "FR": "fr", "JP": "jp"}

# Common keywords: each has titles in several item types, and new products
# for them keep arriving while the stand-in runs.
TOPICS = {
    "en": ["garden", "jazz", "space", "cooking", "guitar", "mystery", "python", "ocean", "chess", "photography"],
    "de": ["Küche", "Garten", "Reise", "Wald", "Musik", "Sterne"],
    "fr": ["cuisine", "jardin", "été", "mer", "château", "étoiles"],
    "jp": ["料理", "宇宙", "音楽", "旅", "庭"],
}
# Plain-ASCII search words for every store, so a keyword alert on any store finds something.
ASCII_TOPICS = ["garden", "jazz", "space", "cooking", "guitar"]

TEMPLATES = {
    "Books": {
        "en": ["The {T} Handbook", "A Year of {T}", "{T} for Beginners", "The Quiet Art of {T}", "Notes on {T}", "{T}: A Field Guide"],
        "de": ["Das große {T}-Buch", "{T} für Einsteiger", "Über {T} und Zeit", "Mein Jahr mit {T}"],
        "fr": ["Le grand livre de {T}", "{T} pour débutants", "Petit traité de {T}", "Une année de {T}"],
        "jp": ["{T}の本", "はじめての{T}", "{T}入門", "{T}の物語"],
    },
    "DVD": {
        "en": ["{T}: The Movie", "Return to {T}", "Beyond {T}", "{T} Nights (Special Edition)"],
        "de": ["{T} – Der Film", "Rückkehr nach {T}", "Jenseits von {T}"],
        "fr": ["{T} : le film", "Retour à {T}", "Au-delà de {T}"],
        "jp": ["{T} ザ・ムービー", "{T}への帰還"],
    },
    "Music": {
        "en": ["{T} Sessions", "Songs of {T}", "Live at {T} Hall", "{T} Blue"],
        "de": ["Lieder von {T}", "{T} (Live)", "Klänge der {T}"],
        "fr": ["Chansons de {T}", "{T} en concert", "Les nuits de {T}"],
        "jp": ["{T}の歌", "{T} ライブ"],
    },
    "Classical": {
        "en": ["{T} Suites", "Nocturnes for {T}"], "de": ["{T}-Sonaten"], "fr": ["Préludes de {T}"], "jp": ["{T}組曲"],
    },
    "Electronics": {
        "en": ["{T} Pro Headphones", "{T} Pocket Radio", "{T} Weather Station"],
        "de": ["{T} Kopfhörer", "{T} Radiowecker"], "fr": ["Casque {T}", "Radio {T}"], "jp": ["{T}ヘッドホン"],
    },
    "VideoGames": {
        "en": ["{T} Quest", "Super {T} Racer"], "de": ["{T} Abenteuer"], "fr": ["Aventure {T}"], "jp": ["{T}クエスト"],
    },
    "Toys": {
        "en": ["{T} Building Set", "Wooden {T} Puzzle"], "de": ["{T} Baukasten"], "fr": ["Puzzle {T}"], "jp": ["{T}パズル"],
    },
    "Software": {"en": ["{T} Studio 2006", "{T} Planner Deluxe"], "de": ["{T} Planer"], "fr": ["{T} Studio"], "jp": ["{T}スタジオ"]},
    "Kitchen": {"en": ["{T} Espresso Maker", "{T} Chef's Knife"], "de": ["{T} Espressokocher"], "fr": ["Cocotte {T}"], "jp": ["{T}包丁"]},
}
BYLINE = {"Books": "Author", "DVD": "Director", "Music": "Artist", "Classical": "Artist", "Electronics": "Studio",
          "VideoGames": "Studio", "Toys": "Studio", "Software": "Studio", "Kitchen": "Studio"}
BINDING = {"Books": ["Paperback", "Hardcover"], "DVD": ["DVD"], "Music": ["Audio CD"], "Classical": ["Audio CD"],
           "Electronics": ["Electronics"], "VideoGames": ["Video Game"], "Toys": ["Toy"], "Software": ["CD-ROM"],
           "Kitchen": ["Kitchen"]}
GROUP = {"Books": "Book", "DVD": "DVD", "Music": "Music", "Classical": "Music", "Electronics": "CE",
         "VideoGames": "Video Games", "Toys": "Toy", "Software": "Software", "Kitchen": "Kitchen"}
MAKERS = ["Sample Press", "Northwind Media", "Bluegate Records", "Harbor Light Studios", "Ferngrove Works", "Quill & Ink"]
TRACK_WORDS = {
    "en": ["Opening", "Morning Light", "Blue Hour", "Slow River", "Paper Moon", "Late Train", "Homeward", "Coda"],
    "de": ["Anfang", "Morgenröte", "Über den Fluss", "Nachtlied", "Heimweg", "Schluss"],
    "fr": ["Ouverture", "Lumière du matin", "Rivière lente", "Chanson d'été", "Retour", "Finale"],
    "jp": ["序曲", "朝の光", "青い時間", "帰り道", "終曲"],
}
REVIEW = {
    "en": "A <b>{adj}</b> {kind} about {t}, told with warmth and a sure hand. <i>{who}</i> never wastes a page.",
    "de": "Ein <b>{adj}</b> Werk über {t} – klug, warm und genau. <i>{who}</i> überzeugt auf ganzer Linie.",
    "fr": "Un ouvrage <b>{adj}</b> sur {t}, écrit avec élégance. <i>{who}</i> ne déçoit jamais.",
    "jp": "{t}についての<b>{adj}</b>作品。<i>{who}</i>の代表作です。",
}
ADJ = {"en": ["delightful", "gripping", "thoughtful", "brilliant"], "de": ["großartiges", "spannendes", "kluges"],
       "fr": ["remarquable", "passionnant", "délicieux"], "jp": ["素晴らしい", "感動的な"]}

used_asins = set()


def asin_for(index):
    while True:
        if index == "Books":
            a = "".join(rng.choice("0123456789") for _ in range(9)) + rng.choice("0123456789X")
        else:
            a = "B000" + "".join(rng.choice("ABCDEFGHJKLMNPQRSTUVWXYZ0123456789") for _ in range(6))
        if a not in used_asins:
            used_asins.add(a)
            return a


def person(lang):
    if lang == "jp":
        return rng.choice(FIRST[lang]) + " " + rng.choice(LAST[lang])
    return rng.choice(FIRST[lang]) + " " + rng.choice(LAST[lang])


def product(store, index, topic, appears=0):
    lang = LANG[store]
    templates = TEMPLATES[index].get(lang) or TEMPLATES[index]["en"]
    shown = topic if lang == "jp" or not topic.islower() else topic.title()
    title = rng.choice(templates).format(T=shown)
    who = person(lang) if index in ("Books", "DVD", "Music", "Classical") else rng.choice(MAKERS)
    base = {"Books": 1500, "DVD": 1900, "Music": 1400, "Classical": 1600, "Electronics": 5900, "VideoGames": 3900,
            "Toys": 2400, "Software": 4900, "Kitchen": 3400}[index]
    list_price = base + rng.randrange(0, 2000, 5)
    if store == "JP":
        list_price = list_price * 10 // 100 * 100  # whole yen, hundreds
    new_price = list_price * rng.choice([70, 75, 80, 85, 90, 100]) // 100
    attributes = [["Binding", rng.choice(BINDING[index])], ["ProductGroup", GROUP[index]]]
    if index == "Books":
        attributes += [["NumberOfPages", str(rng.randrange(96, 720))], ["Publisher", rng.choice(MAKERS)]]
    elif index in ("Music", "Classical"):
        attributes += [["Label", rng.choice(MAKERS)], ["NumberOfDiscs", "1"]]
    elif index == "DVD":
        attributes += [["Actor", person(lang)], ["RunningTime", str(rng.randrange(80, 170))], ["Studio", rng.choice(MAKERS)]]
    else:
        attributes += [["Manufacturer", rng.choice(MAKERS)]]
    year = rng.choice([2003, 2004, 2005, 2005, 2006])
    p = {
        "asin": asin_for(index),
        "store": store,
        "index": index,
        "title": title,
        "byline": [BYLINE[index], who],
        "attributes": attributes,
        "publicationDate": "%d-%02d-%02d" % (year, rng.randrange(1, 13), rng.randrange(1, 29)),
        "listPrice": list_price,
        "lowestNewPrice": new_price,
        "lowestUsedPrice": new_price * 6 // 10 if rng.random() < 0.6 else None,
        "totalNew": rng.randrange(1, 40),
        "averageRating": rng.choice([None, "3.0", "3.5", "4.0", "4.3", "4.5", "4.8", "5.0", "2.5"]),
        "totalReviews": rng.randrange(1, 120),
        "review": REVIEW[lang].format(adj=rng.choice(ADJ[lang]), kind="work" if index != "Books" else "book",
                                      t=topic, who=who),
        "keywords": topic,
        "appears": appears,
        "salesRank": rng.randrange(1, 50000),
    }
    if p["averageRating"] is None:
        p["totalReviews"] = 0
    if index in ("Music", "Classical"):
        discs = 2 if rng.random() < 0.25 else 1
        words = TRACK_WORDS[lang]
        p["tracks"] = [[rng.choice(words) + ("" if rng.random() < 0.6 else " (Reprise)") for _ in range(rng.randrange(4, 9))]
                       for _ in range(discs)]
        if discs == 2:
            p["attributes"] = [a if a[0] != "NumberOfDiscs" else ["NumberOfDiscs", "2"] for a in p["attributes"]]
    return p


def main():
    products = []
    for store in STORES:
        lang = LANG[store]
        topics = TOPICS[lang]
        for index in TEMPLATES:
            count = 9 if store == "US" and index in ("Books", "DVD", "Music") else 3
            if store != "US":
                count = 3 if index in ("Books", "DVD", "Music") else 1
            for _ in range(count):
                products.append(product(store, index, rng.choice(topics)))
        if lang != "en":
            for topic in ASCII_TOPICS[:3]:
                products.append(product(store, rng.choice(["Books", "Music", "DVD"]), topic))
    # The U.S. store's lists need enough books, films and music to rotate.
    for index in ("Books", "DVD", "Music"):
        for _ in range(14):
            products.append(product("US", index, rng.choice(TOPICS["en"])))
    # Arrivals: one new product a minute, going round the common keywords
    # and stores (so each of them gets one every ten minutes), for five hours.
    arrival_topics = [("US", t) for t in ASCII_TOPICS] + [("DE", "Küche"), ("DE", "garden"), ("FR", "cuisine"),
                                                          ("UK", "jazz"), ("JP", "space")]
    for n in range(300):
        store, topic = arrival_topics[n % len(arrival_topics)]
        index = ["Books", "Music", "DVD", "Books", "Electronics"][n % 5]
        products.append(product(store, index, topic, appears=n + 1))
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[1] / "data" / "catalogue.json"
    out.write_text(json.dumps({"products": products}, ensure_ascii=False, indent=1) + "\n", encoding="utf-8")
    print("%d products written to %s" % (len(products), out))


if __name__ == "__main__":
    main()
